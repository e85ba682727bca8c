// The thread that takes CFX messages from the outbox to the broker, oldest first, over one AMQP
// 1.0 link. A message leaves the outbox only when the broker has settled it as accepted; while
// the broker is away, restarts, refuses the login or a message, the thread connects again with
// a growing pause and sends again from the oldest message not accepted, with the same text.
#pragma once

#include "amqp_url.h"
#include "cfx_outbox.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace qrx::cfx {

class SenderLoop;

class CfxSender {
public:
  struct Options {
    AmqpUrl url;
    std::string handle;                        // the AMQP container-id
    std::function<void(const std::string &)> say; // messages for people (stderr by default)
    std::chrono::milliseconds firstRetry{500}; // the pause after the first failure, doubling...
    std::chrono::milliseconds lastRetry{30000}; // ...up to this
    size_t window = 256;                       // messages sent and not yet settled, at most
  };

  CfxSender(CfxOutbox *outbox, Options options);
  ~CfxSender(); // Stop(0)

  void Start();
  // New messages are in the outbox.
  void Wake();
  // Waits until the outbox is empty (true) or the time is up (false).
  bool Flush(std::chrono::milliseconds timeout);
  // Gives queued messages up to drain to go out, then closes the connection; what is left stays
  // in the outbox for the next start.
  void Stop(std::chrono::milliseconds drain);
  bool Connected() const { return connected_.load(); }
  int64_t Accepted() const { return accepted_.load(); }
  int64_t Connects() const { return connects_.load(); }

private:
  friend class SenderLoop;
  CfxOutbox *outbox_;
  Options options_;
  std::unique_ptr<SenderLoop> loop_;
  std::thread thread_;
  std::atomic<bool> connected_{false};
  std::atomic<int64_t> accepted_{0}, connects_{0};
};

} // namespace qrx::cfx
