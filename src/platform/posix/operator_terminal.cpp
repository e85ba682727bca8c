// The operator's terminal on POSIX systems: the terminal device in the driver's line mode,
// waited for with poll.
#include "platform/operator_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace qrx::platform::host {

struct OperatorTerminal::State {
  int fd = -1;
};

OperatorTerminal::OperatorTerminal(const std::string &device) : state_(new State) {
  state_->fd = ::open(device.empty() ? "/dev/tty" : device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
}

OperatorTerminal::~OperatorTerminal() {
  if (state_->fd >= 0) ::close(state_->fd);
  delete state_;
}

bool OperatorTerminal::IsOpen() const { return state_->fd >= 0; }

void OperatorTerminal::Write(const std::string &text) {
  size_t done = 0;
  while (state_->fd >= 0 && done < text.size()) {
    ssize_t n = ::write(state_->fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += size_t(n);
  }
}

long OperatorTerminal::Read(char *buffer, size_t size, int timeoutMs) {
  if (state_->fd < 0) return -1;
  pollfd p{state_->fd, POLLIN, 0};
  int ready = ::poll(&p, 1, timeoutMs);
  if (ready < 0) return errno == EINTR ? 0 : -1;
  if (ready == 0) return 0;
  ssize_t n = ::read(state_->fd, buffer, size);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return 0;
  return n <= 0 ? -1 : long(n);
}

} // namespace qrx::platform::host
