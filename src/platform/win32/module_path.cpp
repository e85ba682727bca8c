// Directories of the loaded library (the module that holds this code) and of the host, from
// GetModuleFileNameA.
#include "platform/module_path.h"

#include <windows.h>

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
} // namespace

std::string system::LoadedModuleDirectory() {
  HMODULE self = nullptr;
  if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&ModuleDirectory), &self))
    return "";
  return DirectoryOf(ModuleFileName(self));
}

std::string ExecutableDirectory() { return DirectoryOf(ModuleFileName(nullptr)); }

} // namespace qrx::platform
