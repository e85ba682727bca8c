// Queue and writer thread between station threads and a results store.
#include "queued_unit_sink.h"

#include <cstdio>

namespace qrx::store {

namespace {
constexpr auto kRetryInterval = std::chrono::milliseconds(500);
constexpr auto kIdleInterval = std::chrono::seconds(1);
constexpr int kTriesWhenStopping = 6;
} // namespace

QueuedUnitSink::QueuedUnitSink(std::unique_ptr<UnitStoreWriter> writer,
                               StoreMessageHandler messages, size_t capacity)
    : writer_(std::move(writer)), messages_(std::move(messages)),
      capacity_(capacity ? capacity : 1) {
  thread_ = std::thread([this] { Run(); });
}

QueuedUnitSink::~QueuedUnitSink() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void QueuedUnitSink::Say(const std::string &text) {
  if (messages_)
    messages_(text);
  else
    std::fprintf(stderr, "qrx-store: %s\n", text.c_str());
}

void QueuedUnitSink::BeginUnit(const UnitRecord &header) { Enqueue(false, header); }
void QueuedUnitSink::EndUnit(const UnitRecord &unit) { Enqueue(true, unit); }

void QueuedUnitSink::Enqueue(bool whole, const UnitRecord &unit) {
  UnitOperation operation{whole, unit, {}}; // copied outside the lock
  std::unique_lock lock(mutex_);
  if (queue_.size() >= capacity_) {
    if (!warnedFull_) {
      warnedFull_ = true;
      lock.unlock();
      Say("the results store is behind by " + std::to_string(capacity_) +
          " operations; stations wait for it" + (LastError().empty() ? "" : ": " + LastError()));
      lock.lock();
    }
    room_.wait(lock, [&] { return queue_.size() < capacity_ || stopping_; });
  }
  queue_.push_back(std::move(operation));
  lock.unlock();
  wake_.notify_one();
}

bool QueuedUnitSink::Flush(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return drained_.wait_for(lock, timeout, [&] { return queue_.empty() && !busy_; });
}

std::string QueuedUnitSink::LastError() const {
  std::lock_guard lock(mutex_);
  return lastError_;
}

size_t QueuedUnitSink::Pending() const {
  std::lock_guard lock(mutex_);
  return queue_.size() + (busy_ ? 1 : 0);
}

void QueuedUnitSink::Run() {
  std::unique_lock lock(mutex_);
  int failures = 0;
  for (;;) {
    if (queue_.empty()) {
      drained_.notify_all();
      if (stopping_)
        return;
      if (!wake_.wait_for(lock, kIdleInterval, [&] { return !queue_.empty() || stopping_; })) {
        lock.unlock();
        writer_->Idle();
        lock.lock();
      }
      continue;
    }
    // The operation stays at the front until it is written, so order holds across retries.
    busy_ = true;
    UnitOperation &operation = queue_.front();
    lock.unlock();
    const bool written = writer_->Write(operation);
    const std::string error = writer_->LastError();
    lock.lock();
    busy_ = false;
    lastError_ = written ? std::string() : error;
    if (written) {
      if (failures) {
        lock.unlock();
        Say("the results store takes units again");
        lock.lock();
      }
      failures = 0;
      queue_.pop_front();
      room_.notify_all();
      continue;
    }
    ++failures;
    if (failures == 1) {
      lock.unlock();
      Say(error + "; units wait in memory and are written when the store takes them");
      lock.lock();
    }
    if (stopping_ && failures >= kTriesWhenStopping) {
      const std::string lost = "results store unusable at exit: " + std::to_string(queue_.size()) +
                               " unit operations were not recorded: " + error;
      queue_.clear();
      room_.notify_all();
      lock.unlock();
      Say(lost);
      lock.lock();
      continue;
    }
    wake_.wait_for(lock, kRetryInterval);
  }
}

} // namespace qrx::store
