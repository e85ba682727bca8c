// LoadLibraryA-based library loading: paths go to the loader unchanged and the loader's own
// error codes (126 module not found, 193 not a valid image) are the last error.
#include "platform/dynamic_library.h"

#include "platform/fault_injection.h"
#include "platform/system_error.h"

#include <windows.h>
// The facility's own name, not the system's A/W macro.
#undef LoadLibrary

#include <cstdio>

namespace qrx::platform {
namespace {
constexpr uint32_t kBadImage = 193;


HMODULE Open(const std::string &path) {
  // No "cannot find DLL" box of the system's own: the caller reports the failure. The mode
  // is the calling thread's, so the host's other threads keep theirs.
  DWORD oldMode = 0;
  const BOOL quiet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
  HMODULE h = ::LoadLibraryA(path.c_str());
  DWORD err = ::GetLastError();
  if (quiet) ::SetThreadErrorMode(oldMode, nullptr);
  ::SetLastError(err);
  return h;
}
} // namespace

// Windows takes the path as it is.
std::string TranslateLibraryPath(std::string_view path) { return std::string(path); }

ModuleHandle LoadLibrary(std::string_view path) {
  const std::string local(path);
  if (ShouldFail(Fault::kLoadLibrary)) {
    ::SetLastError(kBadImage);
    std::fprintf(stderr, "QRXInterface: cannot load %s: injected failure\n", local.c_str());
    return nullptr;
  }
  HMODULE h = Open(local);
  if (!h) {
    DWORD err = ::GetLastError();
    std::fprintf(stderr, "QRXInterface: cannot load %s: %s\n", local.c_str(),
                 SystemErrorText(err).c_str());
    ::SetLastError(err);
  }
  return h;
}

ModuleHandle LoadSystemLibrary(const std::string &name) {
  if (ShouldFail(Fault::kLoadLibrary)) {
    ::SetLastError(kBadImage);
    return nullptr;
  }
  HMODULE h = Open(name);
  if (!h) {
    DWORD err = ::GetLastError();
    std::fprintf(stderr, "QRXInterface: cannot load %s: %s\n", name.c_str(),
                 SystemErrorText(err).c_str());
    ::SetLastError(err);
  }
  return h;
}

void *GetProcAddress(ModuleHandle module, const char *name) {
  if (!module || !name) return nullptr;
  return reinterpret_cast<void *>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

bool FreeLibrary(ModuleHandle module) {
  if (!module) return false;
  return ::FreeLibrary(static_cast<HMODULE>(module)) != 0;
}

uint32_t GetLastError() { return ::GetLastError(); }
void SetLastError(uint32_t code) { ::SetLastError(code); }

} // namespace qrx::platform
