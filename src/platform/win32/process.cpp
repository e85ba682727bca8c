// Detached start of helper programs through WinExec with a hidden window: the station never
// waits for the program.
#include "platform/process.h"

#include <windows.h>

namespace qrx::platform {

bool StartDetached(const std::vector<std::string> &argv) {
  if (argv.empty() || argv[0].empty()) return false;
  // "cmd.exe /c arp -d": the arguments go to the command line as they are, one space apart;
  // one with a space or a quote is quoted with its quotes doubled.
  std::string line;
  for (const std::string &a : argv) {
    if (!line.empty()) line += ' ';
    if (a.find_first_of(" \t\"") == std::string::npos && !a.empty()) {
      line += a;
      continue;
    }
    line += '"';
    for (char c : a) line += c == '"' ? std::string("\"\"") : std::string(1, c);
    line += '"';
  }
  // WinExec answers a value above 31 when the program started.
  return ::WinExec(line.c_str(), SW_HIDE) > 31;
}

bool RunHiddenCommand(const char *commandLine) {
  if (!commandLine || !*commandLine) return false;
  return ::WinExec(commandLine, SW_HIDE) > 31;
}

int64_t CurrentProcessId() { return static_cast<int64_t>(::GetCurrentProcessId()); }

bool ProcessRunning(int64_t pid) {
  if (pid <= 0 || pid > 0xffffffffLL) return false;
  HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                 static_cast<DWORD>(pid));
  if (!process) return ::GetLastError() == ERROR_ACCESS_DENIED;
  const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return running;
}

std::string CurrentProcessName() {
  char path[MAX_PATH + 1] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return "";
  const std::string full(path, n);
  const size_t slash = full.find_last_of("\\/");
  return slash == std::string::npos ? full : full.substr(slash + 1);
}

std::string MachineName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!::GetComputerNameA(name, &size)) return "";
  return std::string(name, size);
}

} // namespace qrx::platform
