// Terminal prompt: reads the terminal without blocking (poll with a short timeout), so a page
// answer can withdraw it between keystrokes.
#include "terminal_prompt.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace qrx::web {

namespace {

class Fd {
public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

private:
  int fd_;
};

void Write(int fd, const std::string &text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += size_t(n);
  }
}

} // namespace

TerminalOutcome TerminalPrompt::Ask(int station, const std::string &pattern,
                                    const std::function<bool(const std::string &)> &matches,
                                    const std::function<bool()> &withdrawn, std::string *text) const {
  Fd tty(::open(device_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (tty.get() < 0) return TerminalOutcome::Unavailable;
  const std::string ask = "[S" + std::to_string(station) + "] enter the barcode (" + pattern +
                          "), empty line cancels: ";
  constexpr size_t kMaxLine = 4096;
  Write(tty.get(), ask);
  std::string line;
  for (;;) {
    if (withdrawn && withdrawn()) {
      Write(tty.get(), "\n[S" + std::to_string(station) + "] answered elsewhere\n");
      return TerminalOutcome::Cancelled;
    }
    pollfd p{tty.get(), POLLIN, 0};
    int ready = ::poll(&p, 1, 100);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return TerminalOutcome::Cancelled;
    if (ready == 0) continue;
    char buf[256];
    ssize_t n = ::read(tty.get(), buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return TerminalOutcome::Cancelled; // end of input
    for (ssize_t i = 0; i < n; ++i) {
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
      Write(tty.get(), "does not match " + pattern + "\n" + ask);
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
