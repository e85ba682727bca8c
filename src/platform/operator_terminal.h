// The operator's terminal as the host tools use it for a prompt: the controlling terminal (or
// a named terminal device) on POSIX systems, the console on Windows. Reads wait a bounded
// time, so a prompt can give way between keystrokes; input arrives a whole line at a time,
// edited as the system edits lines.
#pragma once

#include <cstddef>
#include <string>

namespace qrx::platform::host {

class OperatorTerminal {
public:
  // device: the terminal to use; "" is the process's own (its controlling terminal, its console).
  explicit OperatorTerminal(const std::string &device);
  ~OperatorTerminal();
  OperatorTerminal(const OperatorTerminal &) = delete;
  OperatorTerminal &operator=(const OperatorTerminal &) = delete;

  bool IsOpen() const;
  void Write(const std::string &text);
  // Waits up to timeoutMs for input: the number of bytes read into buffer (lines end with
  // '\n'), 0 when nothing came in time, -1 at the end of input or on an error.
  long Read(char *buffer, size_t size, int timeoutMs);

private:
  struct State;
  State *state_;
};

} // namespace qrx::platform::host
