// Host-program services on Windows: LoadLibraryA, GetModuleFileNameA, the working folder and
// the process environment.
#include "platform/host_process.h"

#include "platform/system_error.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

namespace qrx::platform::host {

const char *InterfaceLibraryFile() { return "QRXInterface.dll"; }
const char *VisaLibraryFile() { return "visa32.dll"; }
const char *LibrarySuffix() { return ".dll"; }

void *OpenLibrary(const std::string &path, bool, std::string *error) {
  // Windows resolves every reference at load time; exports are per module, so there is no
  // global symbol space to join.
  HMODULE h = ::LoadLibraryA(path.c_str());
  if (!h && error) {
    const DWORD code = ::GetLastError();
    *error = "error " + std::to_string(code) + ": " + SystemErrorText(code);
  }
  return h;
}

void *OpenLoadedLibrary(const std::string &path) {
  HMODULE h = nullptr;
  // Flags 0: the module's reference count goes up, so CloseLibrary's FreeLibrary balances it.
  if (!::GetModuleHandleExA(0, path.c_str(), &h)) return nullptr;
  return h;
}

void *FindSymbol(void *library, const char *name) {
  if (!library || !name) return nullptr;
  return reinterpret_cast<void *>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void *library) {
  if (library) ::FreeLibrary(static_cast<HMODULE>(library));
}

std::string ProgramDirectory() {
  std::vector<char> buf(MAX_PATH);
  for (;;) {
    DWORD n = ::GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) {
      std::string p(buf.data(), n);
      return p.substr(0, p.find_last_of("\\/") + 1);
    }
    if (buf.size() >= 32768) return std::string();
    buf.resize(buf.size() * 2);
  }
}

std::string CurrentDirectory() {
  DWORD n = ::GetCurrentDirectoryA(0, nullptr);
  if (n == 0) return std::string();
  std::string dir(n, '\0');
  n = ::GetCurrentDirectoryA(n, dir.data());
  dir.resize(n);
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  return dir;
}

bool ChangeDirectory(const std::string &directory) {
  return ::SetCurrentDirectoryA(directory.c_str()) != 0;
}

bool IsAbsolutePath(const std::string &path) {
  return (path.size() > 2 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
         (path.size() > 1 && (path[0] == '\\' || path[0] == '/'));
}

void SetEnvironmentDefault(const char *name, const std::string &value) {
  if (::GetEnvironmentVariableA(name, nullptr, 0) == 0) ::SetEnvironmentVariableA(name, value.c_str());
  // The C runtime keeps its own copy, which getenv reads.
  if (!std::getenv(name)) ::_putenv((std::string(name) + "=" + value).c_str());
}

std::string MachineName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!::GetComputerNameA(name, &size)) return std::string();
  return std::string(name, size);
}

} // namespace qrx::platform::host
