// Unit batches written on their own thread, in the order they were read.
#include "batch_writer.h"

#include <utility>

namespace qrx::collector {

BatchWriter::BatchWriter(store::UnitStoreWriter &writer, size_t depth)
    : writer_(writer), depth_(depth ? depth : 1), thread_([this] { Run(); }) {}

BatchWriter::~BatchWriter() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  thread_.join();
}

void BatchWriter::Write(std::vector<store::UnitOperation> operations, BatchTally tally) {
  std::unique_lock<std::mutex> hold(mutex_);
  room_.wait(hold, [&] { return waiting_.size() < depth_; });
  waiting_.push_back({std::move(operations), std::move(tally)});
  work_.notify_one();
}

std::vector<BatchWriter::Outcome> BatchWriter::Settle() {
  std::unique_lock<std::mutex> hold(mutex_);
  settled_.wait(hold, [&] { return waiting_.empty() && !writing_; });
  failed_ = false;
  return std::exchange(outcomes_, {});
}

bool BatchWriter::Failed() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return failed_;
}

void BatchWriter::Run() {
  std::unique_lock<std::mutex> hold(mutex_);
  for (;;) {
    work_.wait(hold, [&] { return stop_ || !waiting_.empty(); });
    if (waiting_.empty())
      return; // stopping, and everything handed over is written
    Batch batch = std::move(waiting_.front());
    waiting_.pop_front();
    writing_ = true;
    room_.notify_one();
    Outcome outcome;
    outcome.dropped = failed_;
    if (!outcome.dropped) {
      hold.unlock();
      outcome.written = writer_.WriteBatch(batch.operations);
      if (!outcome.written)
        outcome.error = writer_.LastError();
      batch.operations.clear(); // the records go before the lock is taken again
      hold.lock();
      failed_ = !outcome.written;
    }
    outcome.tally = std::move(batch.tally);
    outcomes_.push_back(std::move(outcome));
    writing_ = false;
    if (waiting_.empty())
      settled_.notify_all();
  }
}

} // namespace qrx::collector
