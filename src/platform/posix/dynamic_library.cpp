// dlopen-based library loading with the Windows path form translated and the Windows
// meaning of the last error kept (126 module not found, 193 not loadable).
#include "platform/dynamic_library.h"

#include "platform/fault_injection.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <cstdio>
#include <mutex>

namespace qrx::platform {
namespace {
thread_local uint32_t t_lastError = 0;
constexpr uint32_t kModuleNotFound = 126;
constexpr uint32_t kBadImage = 193;

// The loader serialises opens and closes itself, but with a lock the thread sanitizer cannot
// see; taking our own lock around them makes the ordering visible and costs nothing beside the
// loader's own work. Stations open and close test libraries from their own threads.
std::mutex &LoaderLock() {
  static std::mutex lock;
  return lock;
}

void *OpenLocked(const char *path) {
  std::lock_guard<std::mutex> guard(LoaderLock());
  return ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
}
} // namespace

std::string TranslateLibraryPath(std::string_view path) {
  std::string out(path);
  for (char &c : out)
    if (c == '\\') c = '/';
  constexpr std::string_view kDll = ".dll";
  if (out.size() >= kDll.size() && out.compare(out.size() - kDll.size(), kDll.size(), kDll) == 0)
    out.replace(out.size() - kDll.size(), kDll.size(), ".so");
  return out;
}

ModuleHandle LoadLibrary(std::string_view path) {
  const std::string local = TranslateLibraryPath(path);
  struct stat st {};
  if (::stat(local.c_str(), &st) != 0) {
    t_lastError = kModuleNotFound;
    std::fprintf(stderr, "QRXInterface: cannot load %s: no such file\n", local.c_str());
    return nullptr;
  }
  if (ShouldFail(Fault::kLoadLibrary)) {
    t_lastError = kBadImage;
    std::fprintf(stderr, "QRXInterface: cannot load %s: injected failure\n", local.c_str());
    return nullptr;
  }
  // dlopen searches the loader path for a name without a slash; a relative path of ours must
  // resolve against the working directory as the Windows loader does.
  std::string openPath = local.find('/') == std::string::npos ? "./" + local : local;
  void *h = OpenLocked(openPath.c_str());
  if (!h) {
    t_lastError = kBadImage;
    const char *e = ::dlerror();
    std::fprintf(stderr, "QRXInterface: cannot load %s: %s\n", local.c_str(), e ? e : "?");
  }
  return h;
}

ModuleHandle LoadSystemLibrary(const std::string &name) {
  if (ShouldFail(Fault::kLoadLibrary)) {
    t_lastError = kBadImage;
    return nullptr;
  }
  void *h = OpenLocked(name.c_str());
  if (!h) {
    t_lastError = kModuleNotFound;
    const char *e = ::dlerror();
    std::fprintf(stderr, "QRXInterface: cannot load %s: %s\n", name.c_str(), e ? e : "?");
  }
  return h;
}

void *GetProcAddress(ModuleHandle module, const char *name) {
  if (!module || !name) return nullptr;
  void *symbol = ::dlsym(module, name);
  if (!symbol) return nullptr;
  // dlsym goes on into the libraries this one depends on; a library's functions are its own
  // exports only, so the symbol found must lie in the library itself.
  struct link_map *own = nullptr;
  if (::dlinfo(module, RTLD_DI_LINKMAP, &own) != 0 || !own) return nullptr;
  Dl_info info{};
  struct link_map *holder = nullptr;
  if (!::dladdr1(symbol, &info, reinterpret_cast<void **>(&holder), RTLD_DL_LINKMAP) ||
      holder != own)
    return nullptr;
  return symbol;
}

bool FreeLibrary(ModuleHandle module) {
  if (!module) return false;
  std::lock_guard<std::mutex> guard(LoaderLock());
  return ::dlclose(module) == 0;
}

uint32_t GetLastError() { return t_lastError; }
void SetLastError(uint32_t code) { t_lastError = code; }

} // namespace qrx::platform
