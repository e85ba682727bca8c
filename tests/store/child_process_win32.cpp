// Test child processes on Windows: CreateProcess with inherited output handles, an anonymous
// pipe for the output, TerminateProcess.
#include "child_process.h"

#include <windows.h>

namespace qrx::testing {

namespace {
constexpr UINT kKilledCode = 0xDEAD;

// Quoted as the C runtime splits a command line.
std::string Quoted(const std::string &arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
    return arg;
  std::string q = "\"";
  size_t slashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    q.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
    slashes = 0;
    q += c;
  }
  q.append(slashes * 2, '\\');
  return q + "\"";
}
} // namespace

struct ChildProcess::Handles {
  PROCESS_INFORMATION process{};
  HANDLE out = nullptr;
};

bool ChildProcess::Start(const std::vector<std::string> &argv, const std::string &outputFile) {
  handles_ = new Handles;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE write = nullptr;
  if (outputFile.empty()) {
    if (!CreatePipe(&handles_->out, &write, &inherit, 0))
      return false;
    SetHandleInformation(handles_->out, HANDLE_FLAG_INHERIT, 0);
  } else {
    write = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (write == INVALID_HANDLE_VALUE)
      return false;
  }
  std::string command;
  for (const std::string &a : argv)
    command += (command.empty() ? "" : " ") + Quoted(a);
  STARTUPINFOA start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  start.hStdOutput = start.hStdError = write;
  const bool started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &start, &handles_->process);
  CloseHandle(write);
  return started;
}

long ChildProcess::Read(char *buffer, size_t size) {
  DWORD n = 0;
  if (!handles_ || !handles_->out || !ReadFile(handles_->out, buffer, DWORD(size), &n, nullptr))
    return 0;
  return long(n);
}

void ChildProcess::Kill() {
  if (handles_ && handles_->process.hProcess)
    TerminateProcess(handles_->process.hProcess, kKilledCode);
}

int ChildProcess::Wait(long *peakKb) {
  if (peakKb)
    *peakKb = 0;
  if (!handles_ || !handles_->process.hProcess)
    return -1;
  DWORD code = 0;
  const bool waited = WaitForSingleObject(handles_->process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                      GetExitCodeProcess(handles_->process.hProcess, &code);
  CloseHandle(handles_->process.hProcess);
  CloseHandle(handles_->process.hThread);
  handles_->process = {};
  if (!waited)
    return -1;
  return code == kKilledCode ? kKilled : int(code);
}

ChildProcess::~ChildProcess() {
  if (!handles_)
    return;
  if (handles_->process.hProcess) {
    Kill();
    Wait();
  }
  if (handles_->out)
    CloseHandle(handles_->out);
  delete handles_;
}

} // namespace qrx::testing
