// The publisher's outlet to a broker: envelopes into the durable outbox, the sender thread
// takes them on. Keeps the outbox within its bound and says when it does not.
#pragma once

#include "cfx_publisher.h"
#include "cfx_sender.h"

#include <functional>
#include <memory>
#include <string>

namespace qrx::cfx {

class AmqpOutlet final : public CfxOutlet {
public:
  // Null with *error for a URL without an address or an outbox that cannot be opened. A broker
  // that cannot be reached is no error: messages wait in the outbox. gzipLevel: bodies go out
  // gzip-compressed at that level (1 to 9), or raw JSON with 0.
  static std::unique_ptr<AmqpOutlet> Open(const AmqpUrl &url, const std::string &handle,
                                          const std::string &outboxPath, CfxOutbox::Limits limits,
                                          int gzipLevel,
                                          std::function<void(const std::string &)> say,
                                          std::string *error);
  ~AmqpOutlet() override;

  void Post(const std::vector<CfxEnvelope> &envelopes, bool transient) override;
  void Close(std::chrono::milliseconds drain) override;

  CfxOutbox &Outbox() { return *outbox_; }
  CfxSender &Sender() { return *sender_; }
  int64_t Dropped() const { return dropped_; }

private:
  AmqpOutlet() = default;
  void Say(const std::string &text);

  std::function<void(const std::string &)> say_;
  std::unique_ptr<CfxOutbox> outbox_;
  std::unique_ptr<CfxSender> sender_;
  int gzipLevel_ = 0;
  int64_t dropped_ = 0;       // messages not queued since the outbox was last full
  bool reportedFailure_ = false;
  bool closed_ = false;
};

} // namespace qrx::cfx
