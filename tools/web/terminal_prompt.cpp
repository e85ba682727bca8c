// Terminal prompt: reads the terminal with a short wait, so a page answer can withdraw it
// between keystrokes.
#include "terminal_prompt.h"

#include "platform/operator_terminal.h"

namespace qrx::web {

TerminalOutcome TerminalPrompt::Ask(int station, const std::string &pattern,
                                    const std::function<bool(const std::string &)> &matches,
                                    const std::function<bool()> &withdrawn, std::string *text) const {
  platform::host::OperatorTerminal tty(device_);
  if (!tty.IsOpen()) return TerminalOutcome::Unavailable;
  const std::string ask = "[S" + std::to_string(station) + "] enter the barcode (" + pattern +
                          "), empty line cancels: ";
  constexpr size_t kMaxLine = 4096;
  tty.Write(ask);
  std::string line;
  for (;;) {
    if (withdrawn && withdrawn()) {
      tty.Write("\n[S" + std::to_string(station) + "] answered elsewhere\n");
      return TerminalOutcome::Cancelled;
    }
    char buf[256];
    const long n = tty.Read(buf, sizeof buf, 100);
    if (n == 0) continue;
    if (n < 0) return TerminalOutcome::Cancelled; // end of input
    for (long i = 0; i < n; ++i) {
      char c = buf[i];
      if (c != '\n') {
        if (line.size() < kMaxLine) line += c;
        continue;
      }
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty()) return TerminalOutcome::Cancelled;
      if (matches(line)) {
        if (text) *text = line;
        return TerminalOutcome::Answered;
      }
      tty.Write("does not match " + pattern + "\n" + ask);
      line.clear();
    }
  }
}

SerialPromptBridge::TerminalFn TerminalPrompt::Function() const {
  TerminalPrompt self = *this;
  return [self](int station, const std::string &pattern, const std::function<bool(const std::string &)> &matches,
                const std::function<bool()> &withdrawn, std::string *text) {
    return self.Ask(station, pattern, matches, withdrawn, text);
  };
}

} // namespace qrx::web
