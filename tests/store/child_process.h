// A program started by a test: its output read or left in a file, killed hard as a crash would
// end it, its exit code.
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
  // outputFile when one is given, otherwise to a pipe that ReadAll reads.
  bool Start(const std::vector<std::string> &argv, const std::string &outputFile = "");
  // The output up to its end.
  std::string ReadAll() {
    std::string all;
    char buffer[4096];
    for (long n; (n = Read(buffer, sizeof buffer)) > 0;)
      all.append(buffer, size_t(n));
    return all;
  }
  void Kill();
  // The exit code; kKilled after Kill, -1 when it cannot be had. Where the system tells it,
  // the child's peak memory in KiB goes to *peakKb (0 elsewhere).
  int Wait(long *peakKb = nullptr);

private:
  long Read(char *buffer, size_t size); // what the output has next; 0 at its end
  struct Handles;
  Handles *handles_ = nullptr;
};

} // namespace qrx::testing
