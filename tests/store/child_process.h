// A program started by a store test: its output read line by line or left in a file, killed
// hard as a crash would end it, its exit code.
#pragma once

#include <string>
#include <vector>

namespace qrx::testing {

class ChildProcess {
public:
  static constexpr int kKilled = -2;

  ChildProcess() = default;
  ~ChildProcess(); // kills a child still running
  ChildProcess(const ChildProcess &) = delete;
  ChildProcess &operator=(const ChildProcess &) = delete;

  // Starts argv[0] with the arguments after it. Its standard output and error go to
  // outputFile when one is given, otherwise to a pipe that ReadLine and ReadAll read.
  bool Start(const std::vector<std::string> &argv, const std::string &outputFile = "");
  // A line without its line end; false at the end of the output.
  bool ReadLine(std::string *line) {
    for (char buffer[4096];;) {
      if (const size_t end = pending_.find('\n'); end != std::string::npos) {
        *line = pending_.substr(0, end - (end > 0 && pending_[end - 1] == '\r'));
        pending_.erase(0, end + 1);
        return true;
      }
      const long n = Read(buffer, sizeof buffer);
      if (n <= 0) {
        line->swap(pending_);
        pending_.clear();
        return !line->empty();
      }
      pending_.append(buffer, size_t(n));
    }
  }
  std::string ReadAll() {
    std::string all, line;
    while (ReadLine(&line))
      all += line + "\n";
    return all;
  }
  void Kill();
  // The exit code; kKilled after Kill, -1 when it cannot be had.
  int Wait();

private:
  long Read(char *buffer, size_t size); // what the output has next; 0 at its end
  struct Handles;
  Handles *handles_ = nullptr;
  std::string pending_;
};

} // namespace qrx::testing
