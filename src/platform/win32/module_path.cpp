// Directories of the loaded library (the module that holds this code) and of the host, from
// GetModuleFileNameA.
#include "platform/module_path.h"

#include <windows.h>

#include <cstdlib>
#include <mutex>
#include <vector>

namespace qrx::platform {
namespace {
std::string DirectoryOf(const std::string &file) {
  auto sep = file.find_last_of("\\/");
  return sep == std::string::npos ? std::string() : file.substr(0, sep + 1);
}

// The full file name of a module, however long it is.
std::string ModuleFileName(HMODULE module) {
  std::vector<char> buf(MAX_PATH);
  for (;;) {
    DWORD n = ::GetModuleFileNameA(module, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) return std::string(buf.data(), n);
    if (buf.size() >= 32768) return std::string();
    buf.resize(buf.size() * 2);
  }
}

std::mutex g_overrideLock;
std::string g_override;
} // namespace

void OverrideModuleDirectory(const std::string &directory) {
  std::lock_guard<std::mutex> lock(g_overrideLock);
  g_override = directory;
}

std::string ModuleDirectory() {
  {
    std::lock_guard<std::mutex> lock(g_overrideLock);
    if (!g_override.empty()) return g_override;
  }
  HMODULE self = nullptr;
  if (::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&ModuleDirectory), &self)) {
    std::string dir = DirectoryOf(ModuleFileName(self));
    if (!dir.empty()) return dir;
  }
  return ExecutableDirectory();
}

std::string StationDirectory() {
  {
    std::lock_guard<std::mutex> lock(g_overrideLock);
    if (!g_override.empty()) return g_override;
  }
  const char *station = std::getenv("QRX_STATION_DIR");
  if (station && *station) {
    std::string directory(station);
    if (directory.back() != '\\' && directory.back() != '/') directory += '\\';
    return directory;
  }
  return ModuleDirectory();
}

std::string ExecutableDirectory() { return DirectoryOf(ModuleFileName(nullptr)); }

} // namespace qrx::platform
