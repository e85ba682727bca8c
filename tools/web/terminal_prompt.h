// A serial-number prompt on the operator's terminal that gives way when the page answers first:
// the terminal side of SerialPromptBridge.
#pragma once

#include "serial_prompt_bridge.h"

#include <functional>
#include <string>

namespace qrx::web {

class TerminalPrompt {
public:
  // device: the terminal to ask on; "" is the process's own (its controlling terminal on POSIX
  // systems, its console on Windows).
  explicit TerminalPrompt(std::string device = "") : device_(std::move(device)) {}

  // Asks until a matching line is entered (Answered), an empty line or end of input (Cancelled),
  // or withdrawn() turns true (Cancelled, with a line saying the page answered). Unavailable
  // when the terminal cannot be opened. Checks withdrawn() at least every 100 ms.
  TerminalOutcome Ask(int station, const std::string &pattern,
                      const std::function<bool(const std::string &)> &matches,
                      const std::function<bool()> &withdrawn, std::string *text) const;

  // As a SerialPromptBridge::Options::terminal.
  SerialPromptBridge::TerminalFn Function() const;

private:
  std::string device_;
};

} // namespace qrx::web
