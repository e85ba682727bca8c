// Run-time loading of test libraries, plug-ins, instrument libraries and VISA.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qrx::platform {

using ModuleHandle = void *;

// Windows-form library path to the local form: every backslash becomes a slash and a final
// ".dll" becomes ".so" (".\TestDll\GsmFt.dll" -> "./TestDll/GsmFt.so"). Other paths pass.
std::string TranslateLibraryPath(std::string_view path);

// Loads the library at the translated path (relative paths resolve against the working
// directory). On failure returns null and sets the calling thread's last error to 126 when
// the file does not exist and 193 when it exists but cannot be loaded; the loader's own text
// goes to standard error.
ModuleHandle LoadLibrary(std::string_view path);

// Loads a library by a bare name searched along the loader's path (VISA: "libvisa.so").
ModuleHandle LoadSystemLibrary(const std::string &name);

// The library's own export of that name (exact, case-sensitive), never one of a library it
// depends on; null when the library itself does not export it.
void *GetProcAddress(ModuleHandle module, const char *name);
bool FreeLibrary(ModuleHandle module);

// The calling thread's last error in its Windows meaning (126, 193, ...).
uint32_t GetLastError();
void SetLastError(uint32_t code);

} // namespace qrx::platform
