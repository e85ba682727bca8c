// Host-program services on POSIX systems: dlopen, /proc/self/exe, getcwd/chdir, setenv.
#include "platform/host_process.h"

#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace qrx::platform::host {

const char *InterfaceLibraryFile() { return "libQRXInterface.so"; }
const char *VisaLibraryFile() { return "libvisa.so"; }
const char *LibrarySuffix() { return ".so"; }

void *OpenLibrary(const std::string &path, bool global, std::string *error) {
  void *h = ::dlopen(path.c_str(), RTLD_NOW | (global ? RTLD_GLOBAL : RTLD_LOCAL));
  if (!h && error) {
    const char *e = ::dlerror();
    *error = e ? e : "cannot be loaded";
  }
  return h;
}

void *OpenLoadedLibrary(const std::string &path) {
  return ::dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
}

void *FindSymbol(void *library, const char *name) {
  return library && name ? ::dlsym(library, name) : nullptr;
}

void CloseLibrary(void *library) {
  if (library) ::dlclose(library);
}

std::string ProgramDirectory() {
  char path[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return std::string();
  std::string p(path, static_cast<size_t>(n));
  return p.substr(0, p.rfind('/') + 1);
}

std::string CurrentDirectory() {
  char cwd[PATH_MAX];
  return ::getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" : std::string();
}

bool ChangeDirectory(const std::string &directory) { return ::chdir(directory.c_str()) == 0; }

bool IsAbsolutePath(const std::string &path) { return !path.empty() && path[0] == '/'; }

void SetEnvironmentDefault(const char *name, const std::string &value) {
  ::setenv(name, value.c_str(), 0);
}

std::string MachineName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return std::string();
  return name;
}

} // namespace qrx::platform::host
