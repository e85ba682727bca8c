// The unit sink a host uses: station threads queue operations and return at once, one writer
// thread per process hands them to the store in order.
#pragma once

#include "unit_store_writer.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace qrx::store {

class QueuedUnitSink final : public UnitSink {
public:
  // The queue holds at most capacity operations. When it is full (the store has been failing or
  // far slower than the line for a long time) a station waits for room rather than lose a
  // record; the first such wait is reported.
  static constexpr size_t kDefaultCapacity = 4096;

  QueuedUnitSink(std::unique_ptr<UnitStoreWriter> writer, StoreMessageHandler messages = {},
                 size_t capacity = kDefaultCapacity);
  // Drains the queue; operations the store still refuses after a few tries are reported as lost.
  ~QueuedUnitSink() override;

  void BeginUnit(const UnitRecord &header) override;
  void EndUnit(const UnitRecord &unit) override;

  // Waits until every queued operation has been written (true) or the timeout passed (false).
  bool Flush(std::chrono::milliseconds timeout = std::chrono::seconds(30));
  // "" while the store takes every write; otherwise why it does not.
  std::string LastError() const;
  std::string Problem() const override { return LastError(); }
  size_t Pending() const;

private:
  void Enqueue(bool whole, const UnitRecord &unit);
  void Run();
  void Say(const std::string &text);

  std::unique_ptr<UnitStoreWriter> writer_;
  StoreMessageHandler messages_;
  const size_t capacity_;
  mutable std::mutex mutex_;
  std::condition_variable wake_, room_, drained_;
  std::deque<UnitOperation> queue_;
  bool busy_ = false; // the writer holds an operation taken from the queue
  bool stopping_ = false;
  bool warnedFull_ = false;
  std::string lastError_;
  std::thread thread_;
};

} // namespace qrx::store
