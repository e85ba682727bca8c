// Test child processes on POSIX systems: fork and exec, a pipe for the output, SIGKILL, wait4
// for the exit status and the peak memory.
#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qrx::testing {

struct ChildProcess::Handles {
  pid_t pid = -1;
  int out = -1;
  bool killed = false;
};

bool ChildProcess::Start(const std::vector<std::string> &argv, const std::string &outputFile) {
  handles_ = new Handles;
  int pipeEnds[2] = {-1, -1};
  if (outputFile.empty() && pipe(pipeEnds) != 0)
    return false;
  std::vector<char *> args;
  for (const std::string &a : argv)
    args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);
  handles_->pid = fork();
  if (handles_->pid == 0) {
    const int out = outputFile.empty() ? pipeEnds[1]
                                       : open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(out, 2);
    if (pipeEnds[0] >= 0)
      close(pipeEnds[0]);
    execv(args[0], args.data());
    _exit(127);
  }
  if (pipeEnds[1] >= 0)
    close(pipeEnds[1]);
  handles_->out = pipeEnds[0];
  return handles_->pid > 0;
}

long ChildProcess::Read(char *buffer, size_t size) {
  return handles_ && handles_->out >= 0 ? long(read(handles_->out, buffer, size)) : 0;
}

void ChildProcess::Kill() {
  if (handles_ && handles_->pid > 0 && kill(handles_->pid, SIGKILL) == 0)
    handles_->killed = true;
}

int ChildProcess::Wait(long *peakKb) {
  if (!handles_ || handles_->pid <= 0)
    return -1;
  int status = 0;
  rusage usage{};
  const bool waited = wait4(handles_->pid, &status, 0, &usage) == handles_->pid;
  if (peakKb)
    *peakKb = waited ? usage.ru_maxrss : 0;
  handles_->pid = -1;
  if (!waited)
    return -1;
  if (WIFSIGNALED(status))
    return handles_->killed ? kKilled : -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ChildProcess::~ChildProcess() {
  if (!handles_)
    return;
  if (handles_->pid > 0) {
    Kill();
    Wait();
  }
  if (handles_->out >= 0)
    close(handles_->out);
  delete handles_;
}

} // namespace qrx::testing
