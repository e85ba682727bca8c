// Directories of the loaded library (the loader's own record of the path it was loaded under)
// and of the host.
#include "platform/module_path.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace qrx::platform {
namespace {
std::string DirectoryOf(const std::string &file) {
  auto slash = file.rfind('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

// The working directory at the moment the library was loaded: the loader keeps a relative
// path as it was given, relative to that directory.
char g_loadDirectory[PATH_MAX];
__attribute__((constructor)) void RememberLoadDirectory() {
  if (!::getcwd(g_loadDirectory, sizeof g_loadDirectory)) g_loadDirectory[0] = '\0';
}
} // namespace

// The folder the library was loaded from, as Windows names a module's file: a path through a
// link stays that path, so a station folder that links to a shared build of the library keeps
// its own BusinessCfg beside the link. Empty when linked into the program itself.
std::string system::LoadedModuleDirectory() {
  Dl_info info{};
  struct link_map *map = nullptr;
  if (!::dladdr1(reinterpret_cast<void *>(&ModuleDirectory), &info,
                 reinterpret_cast<void **>(&map), RTLD_DL_LINKMAP) ||
      !map || !map->l_name || !*map->l_name)
    return "";
  std::string file = map->l_name;
  if (file.front() != '/' && g_loadDirectory[0]) {
    while (file.starts_with("./")) file.erase(0, 2);
    file = std::string(g_loadDirectory) + "/" + file;
  }
  return DirectoryOf(file);
}

std::string ExecutableDirectory() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  buf[n] = '\0';
  return DirectoryOf(buf);
}

} // namespace qrx::platform
