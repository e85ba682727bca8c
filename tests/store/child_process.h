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
  bool ReadLine(std::string *line); // without its line end; false at the end of the output
  std::string ReadAll();
  void Kill();
  // The exit code; kKilled after Kill, -1 when it cannot be had.
  int Wait();

private:
  struct Handles;
  Handles *handles_ = nullptr;
  std::string pending_;
};

} // namespace qrx::testing
