// Test child processes on POSIX systems: fork and exec, a pipe for the output, SIGKILL.
#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
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

bool ChildProcess::ReadLine(std::string *line) {
  for (;;) {
    if (const size_t end = pending_.find('\n'); end != std::string::npos) {
      *line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return true;
    }
    char buffer[4096];
    const ssize_t n = handles_ && handles_->out >= 0 ? read(handles_->out, buffer, sizeof buffer) : 0;
    if (n <= 0) {
      *line = pending_;
      const bool any = !pending_.empty();
      pending_.clear();
      return any;
    }
    pending_.append(buffer, size_t(n));
  }
}

std::string ChildProcess::ReadAll() {
  std::string all, line;
  while (ReadLine(&line))
    all += line + "\n";
  return all;
}

void ChildProcess::Kill() {
  if (handles_ && handles_->pid > 0 && kill(handles_->pid, SIGKILL) == 0)
    handles_->killed = true;
}

int ChildProcess::Wait() {
  if (!handles_ || handles_->pid <= 0)
    return -1;
  int status = 0;
  const bool waited = waitpid(handles_->pid, &status, 0) == handles_->pid;
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
