// Detached start of helper programs: a double fork, so the program is re-parented to init and
// the station never waits for it nor leaves a zombie behind.
#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char **environ;

namespace qrx::platform {
namespace {

bool IsExecutable(const std::string &path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Resolved before forking: between fork and exec only async-signal-safe calls are allowed.
std::string FindProgram(const std::string &name) {
  if (name.find('/') != std::string::npos) return IsExecutable(name) ? name : std::string();
  std::string dirs;
  if (const char *path = std::getenv("PATH")) dirs = path;
  dirs += ":/usr/sbin:/sbin";
  size_t pos = 0;
  while (pos <= dirs.size()) {
    size_t colon = dirs.find(':', pos);
    if (colon == std::string::npos) colon = dirs.size();
    std::string dir = dirs.substr(pos, colon - pos);
    if (!dir.empty()) {
      std::string candidate = dir + "/" + name;
      if (IsExecutable(candidate)) return candidate;
    }
    pos = colon + 1;
  }
  return {};
}

} // namespace

bool StartDetached(const std::vector<std::string> &argv) {
  if (argv.empty()) return false;
  const std::string program = FindProgram(argv[0]);
  if (program.empty()) return false;
  std::vector<char *> args;
  args.reserve(argv.size() + 1);
  for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);

  pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    int devnull = ::open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      ::dup2(devnull, 0);
      ::dup2(devnull, 1);
      ::dup2(devnull, 2);
      if (devnull > 2) ::close(devnull);
    }
    ::execve(program.c_str(), args.data(), environ);
    ::_exit(127);
  }
  // Only the intermediate child is reaped; it exits as soon as it has forked.
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool RunHiddenCommand(const char *commandLine) {
  struct Translation {
    const char *windows;
    std::vector<std::string> argv;
  };
  static const Translation kTranslations[] = {
      {"cmd.exe /c arp -d", {"ip", "neigh", "flush", "all"}},
  };
  if (!commandLine) return false;
  for (const Translation &t : kTranslations)
    if (std::strcmp(commandLine, t.windows) == 0) return StartDetached(t.argv);
  return false;
}

int64_t CurrentProcessId() { return static_cast<int64_t>(::getpid()); }

bool ProcessRunning(int64_t pid) {
  if (pid <= 0 || pid > INT32_MAX) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

std::string CurrentProcessName() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  const std::string full(path, static_cast<size_t>(n));
  const size_t slash = full.rfind('/');
  return slash == std::string::npos ? full : full.substr(slash + 1);
}

std::string MachineName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

} // namespace qrx::platform
