// Queuing envelopes for the sender.
#include "amqp_outlet.h"

#include "cfx_gzip.h"

#include <cstdio>

namespace qrx::cfx {

std::unique_ptr<AmqpOutlet> AmqpOutlet::Open(const AmqpUrl &url, const std::string &handle,
                                             const std::string &outboxPath, CfxOutbox::Limits limits,
                                             int gzipLevel,
                                             std::function<void(const std::string &)> say,
                                             std::string *error) {
  if (url.Address().empty()) {
    if (error)
      *error = url.Shown() + " names no address to publish to (e.g. " + url.Shown() +
               "/queue/cfx or /exchange/cfx)";
    return nullptr;
  }
  std::unique_ptr<AmqpOutlet> outlet(new AmqpOutlet());
  outlet->say_ = say;
  outlet->gzipLevel_ = gzipLevel;
  outlet->outbox_ = CfxOutbox::Open(outboxPath, limits, error);
  if (!outlet->outbox_) return nullptr;
  CfxSender::Options options;
  options.url = url;
  options.handle = handle;
  options.say = std::move(say);
  outlet->sender_ = std::make_unique<CfxSender>(outlet->outbox_.get(), options);
  if (const int64_t waiting = outlet->outbox_->Count(); waiting > 0)
    outlet->Say("CFX: " + std::to_string(waiting) + " message(s) of an earlier run wait in " +
                outboxPath + " and go out first");
  outlet->sender_->Start();
  return outlet;
}

AmqpOutlet::~AmqpOutlet() { Close(std::chrono::milliseconds(0)); }

void AmqpOutlet::Say(const std::string &text) {
  if (say_) say_(text);
  else std::fprintf(stderr, "%s\n", text.c_str());
}

void AmqpOutlet::Post(const std::vector<CfxEnvelope> &envelopes, bool transient) {
  // A heartbeat says the station lives now: kept back behind a backlog it would say nothing.
  if (transient && (!sender_->Connected() || outbox_->Count() > 0)) return;
  std::vector<OutboxMessage> messages;
  for (const CfxEnvelope &e : envelopes) {
    OutboxMessage m;
    m.uniqueId = e.uniqueId;
    m.messageName = e.messageName;
    m.source = e.source;
    m.timeStampUs = e.timeStampUs;
    m.text = e.ToText();
    if (gzipLevel_ > 0) {
      // Compressed once, here: the outbox keeps and the sender resends the same bytes.
      std::string packed = CfxGzip::Compress(m.text, gzipLevel_);
      m.gzip = !packed.empty();
      if (m.gzip) m.text.swap(packed);
    }
    messages.push_back(std::move(m));
  }
  switch (outbox_->Add(&messages)) {
  case CfxOutbox::Added::Queued:
    if (dropped_ > 0)
      Say("CFX: the outbox has room again; " + std::to_string(dropped_) +
          " message(s) were not queued while it was full");
    dropped_ = 0;
    reportedFailure_ = false;
    sender_->Wake();
    break;
  case CfxOutbox::Added::Full:
    if (dropped_ == 0)
      Say("CFX: the outbox " + outbox_->Path() + " is full (" + std::to_string(outbox_->Count()) +
          " messages, " + std::to_string(outbox_->Bytes() >> 20) + " MiB; bound " +
          std::to_string(outbox_->Bound().maxMessages) + " messages, " +
          std::to_string(outbox_->Bound().maxBytes >> 20) +
          " MiB) because the broker has not taken messages for long: new messages are not "
          "queued until it does (the waiting ones keep their order; the results store keeps "
          "every unit)");
    dropped_ += static_cast<int64_t>(messages.size());
    break;
  case CfxOutbox::Added::Failed:
    if (!reportedFailure_)
      Say("CFX: " + outbox_->LastError() + ": messages are not queued");
    reportedFailure_ = true;
    dropped_ += static_cast<int64_t>(messages.size());
    break;
  }
}

void AmqpOutlet::Close(std::chrono::milliseconds drain) {
  if (closed_) return;
  closed_ = true;
  sender_->Stop(drain);
  if (const int64_t left = outbox_->Count(); left > 0 && drain.count() > 0)
    Say("CFX: " + std::to_string(left) + " message(s) stay in " + outbox_->Path() +
        " and go out at the next start");
}

} // namespace qrx::cfx
