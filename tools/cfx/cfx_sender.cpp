// The sender's event loop: a Proton container run on the sender thread.
#include "cfx_sender.h"

#include "cfx_amqp.h"

#include <proton/connection.hpp>
#include <proton/container.hpp>
#include <proton/delivery_mode.hpp>
#include <proton/messaging_handler.hpp>
#include <proton/sender.hpp>
#include <proton/sender_options.hpp>
#include <proton/target_options.hpp>
#include <proton/tracker.hpp>
#include <proton/transport.hpp>
#include <proton/work_queue.hpp>

#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>

namespace qrx::cfx {

class SenderLoop : public proton::messaging_handler {
public:
  explicit SenderLoop(CfxSender *owner)
      : owner_(owner), container_(*this, owner->options_.handle), retry_(owner->options_.firstRetry) {
    container_.auto_stop(false);
  }

  void Run() {
    try {
      container_.run();
    } catch (const std::exception &e) {
      Say(std::string("CFX: the sender stopped: ") + e.what());
    }
  }

  // From other threads. One wake-up waits in the queue at most: the loop reads everything new
  // when it runs, however many messages were queued meanwhile.
  void Wake() {
    if (wakePending_.exchange(true)) return;
    std::lock_guard<std::mutex> hold(queueLock_);
    if (!workQueue_ || !workQueue_->add([this] {
          wakePending_ = false;
          Pump();
        }))
      wakePending_ = false;
  }
  void Stop() {
    {
      std::lock_guard<std::mutex> hold(queueLock_);
      stopping_ = true;
      if (workQueue_) workQueue_->add([this] { CloseQuietly(); });
    }
    container_.stop();
  }

  void on_container_start(proton::container &) override {
    Connect();
    Tick();
  }

  void on_connection_open(proton::connection &c) override {
    {
      std::lock_guard<std::mutex> hold(queueLock_);
      workQueue_ = &c.work_queue();
    }
    proton::sender_options options;
    options.delivery_mode(proton::delivery_mode::AT_LEAST_ONCE);
    options.name(owner_->options_.url.Address());
    // A durable target: a queue the broker makes for the address outlives a broker restart
    // with the messages it holds (they are sent durable too).
    options.target(proton::target_options()
                       .address(owner_->options_.url.Address())
                       .durability_mode(proton::target::UNSETTLED_STATE));
    sender_ = c.open_sender(owner_->options_.url.Address(), options);
  }

  void on_sender_open(proton::sender &) override {
    owner_->connected_ = true;
    retry_ = owner_->options_.firstRetry;
    if (reportedDown_) {
      Say("CFX: " + owner_->options_.url.Shown() + " takes messages again; " +
          std::to_string(owner_->outbox_->Count()) + " waiting in the outbox go out now");
      reportedDown_ = false;
    }
    Pump();
  }

  void on_sendable(proton::sender &) override { Pump(); }

  void on_tracker_accept(proton::tracker &t) override {
    // Brokers settle in order as a rule: the oldest message in flight is looked at first.
    for (auto &entry : inflight_)
      if (entry.tracker == t) {
        entry.accepted = true;
        break;
      }
    while (!inflight_.empty() && inflight_.front().accepted) {
      acceptedSlots_.push_back(inflight_.front().slot);
      inflight_.pop_front();
    }
    // Accepted messages leave the outbox in batches, one transaction each: a transaction per
    // message would cost more than sending it.
    if (inflight_.empty() || acceptedSlots_.size() >= kRemoveBatch) RemoveAccepted();
    Pump();
  }

  void on_tracker_reject(proton::tracker &t) override { Refused(t, "rejected"); }
  void on_tracker_release(proton::tracker &t) override { Refused(t, "released"); }

  void on_transport_error(proton::transport &t) override { Down(t.error()); }
  void on_connection_error(proton::connection &c) override { Down(c.error()); }
  void on_sender_error(proton::sender &s) override {
    Down(s.error());
    CloseQuietly();
  }
  // Any other error (a session the broker ends as it shuts down, ...): the connection goes.
  void on_error(const proton::error_condition &error) override {
    Down(error);
    CloseQuietly();
  }
  void on_transport_close(proton::transport &) override {
    Lost();
    if (!stopping_) ScheduleConnect();
  }

private:
  struct Inflight {
    proton::tracker tracker;
    OutboxSlot slot;
    bool accepted;
  };

  static constexpr size_t kRemoveBatch = 256;

  void RemoveAccepted() {
    if (acceptedSlots_.empty()) return;
    if (!owner_->outbox_->Remove(acceptedSlots_))
      Say("CFX: " + owner_->outbox_->LastError() + " (accepted messages may be sent again)");
    owner_->accepted_ += static_cast<int64_t>(acceptedSlots_.size());
    acceptedSlots_.clear();
  }

  void Say(const std::string &text) {
    if (owner_->options_.say) owner_->options_.say(text);
    else std::fprintf(stderr, "%s\n", text.c_str());
  }

  void Connect() {
    if (stopping_) return;
    ++owner_->connects_;
    try {
      container_.connect(owner_->options_.url.HostPort(),
                         CfxAmqp::Options(owner_->options_.url, owner_->options_.handle));
    } catch (const std::exception &e) {
      Down(proton::error_condition("proton:io", e.what()));
      ScheduleConnect();
    }
  }

  void ScheduleConnect() {
    reconnectAt_ = std::chrono::steady_clock::now() + retry_;
    retry_ = std::min(retry_ * 2, owner_->options_.lastRetry);
  }

  // Reconnects are due on a short tick rather than on timers of their own: a pending timer of
  // 30 s would hold up the container's end when the collector stops.
  void Tick() {
    container_.schedule(proton::duration(100), [this] {
      RemoveAccepted();
      if (stopping_) return;
      Pump();
      if (reconnectAt_ && std::chrono::steady_clock::now() >= *reconnectAt_) {
        reconnectAt_.reset();
        Connect();
      }
      Tick();
    });
  }

  // The connection is gone: what was in flight goes again, from the oldest not accepted.
  void Lost() {
    {
      std::lock_guard<std::mutex> hold(queueLock_);
      workQueue_ = nullptr;
    }
    wakePending_ = false; // a wake-up queued on the connection that went never runs
    owner_->connected_ = false;
    sender_ = proton::sender();
    RemoveAccepted();
    inflight_.clear();
    lastQueued_ = 0;
    pending_.clear();
  }

  void Down(const proton::error_condition &error) {
    if (stopping_) return;
    const std::string why = CfxAmqp::Explain(error, owner_->options_.url);
    if (!reportedDown_ || why != lastWhy_)
      Say("CFX: " + why + "; " + std::to_string(owner_->outbox_->Count()) +
          " message(s) wait in the outbox and go out when the broker takes them");
    reportedDown_ = true;
    lastWhy_ = why;
  }

  void Refused(proton::tracker &t, const char *how) {
    std::string name;
    for (const auto &entry : inflight_)
      if (entry.tracker == t) name = "message " + std::to_string(entry.slot.seq);
    Down(proton::error_condition("amqp:refused", "the broker " + std::string(how) + " " + name +
                                                     "; it stays queued and is sent again"));
    CloseQuietly();
  }

  void CloseQuietly() {
    RemoveAccepted();
    if (sender_) {
      proton::connection c = sender_.connection();
      sender_ = proton::sender();
      c.close();
    }
    if (stopping_) container_.stop();
  }

  void Pump() {
    if (!sender_ || stopping_) return;
    while (sender_.credit() > 0 && inflight_.size() < owner_->options_.window) {
      if (pending_.empty()) {
        std::vector<OutboxMessage> next = owner_->outbox_->Next(lastQueued_, 128);
        if (next.empty()) return;
        for (OutboxMessage &m : next) pending_.push_back(std::move(m));
        lastQueued_ = pending_.back().seq;
      }
      OutboxMessage &m = pending_.front();
      inflight_.push_back({sender_.send(CfxAmqp::Message(m)), {m.seq, static_cast<int64_t>(m.text.size())}, false});
      pending_.pop_front();
    }
  }

  CfxSender *owner_;
  proton::container container_;
  std::mutex queueLock_;
  proton::work_queue *workQueue_ = nullptr;
  std::atomic<bool> stopping_{false};
  proton::sender sender_;
  std::deque<Inflight> inflight_;
  std::atomic<bool> wakePending_{false};
  std::vector<OutboxSlot> acceptedSlots_; // accepted, still in the outbox
  std::deque<OutboxMessage> pending_; // read from the outbox, not yet sent
  int64_t lastQueued_ = 0;            // the newest seq read from the outbox on this connection
  std::chrono::milliseconds retry_{0};
  std::optional<std::chrono::steady_clock::time_point> reconnectAt_;
  bool reportedDown_ = false;
  std::string lastWhy_;
};

CfxSender::CfxSender(CfxOutbox *outbox, Options options)
    : outbox_(outbox), options_(std::move(options)) {}

CfxSender::~CfxSender() { Stop(std::chrono::milliseconds(0)); }

void CfxSender::Start() {
  if (loop_) return;
  loop_ = std::make_unique<SenderLoop>(this);
  thread_ = std::thread([this] { loop_->Run(); });
}

void CfxSender::Wake() {
  if (loop_) loop_->Wake();
}

bool CfxSender::Flush(std::chrono::milliseconds timeout) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (outbox_->Count() > 0) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void CfxSender::Stop(std::chrono::milliseconds drain) {
  if (!loop_) return;
  if (drain.count() > 0) Flush(drain);
  loop_->Stop();
  if (thread_.joinable()) thread_.join();
  loop_.reset();
  connected_ = false;
}

} // namespace qrx::cfx
