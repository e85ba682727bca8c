// Directories of the loaded library (dladdr of one of our own functions) and of the host.
#include "platform/module_path.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace qrx::platform {
namespace {
std::string DirectoryOf(const std::string &file) {
  auto slash = file.rfind('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}
} // namespace

std::string system::LoadedModuleDirectory() {
  Dl_info info{};
  if (!::dladdr(reinterpret_cast<void *>(&ModuleDirectory), &info) || !info.dli_fname) return "";
  char resolved[PATH_MAX];
  if (::realpath(info.dli_fname, resolved)) return DirectoryOf(resolved);
  return DirectoryOf(info.dli_fname);
}

std::string ExecutableDirectory() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  buf[n] = '\0';
  return DirectoryOf(buf);
}

} // namespace qrx::platform
