// The store's side of a collector: batches of unit operations written on a thread of their own
// while the next batch is read and assembled. At most a few batches wait, so memory stays
// bounded however far the journals run ahead of the store.
#pragma once

#include "store/unit_store_writer.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace qrx::collector {

// What a batch holds, counted before it is handed over: the reader needs it once the batch is
// in the store, when the operations themselves are gone.
struct BatchTally {
  int64_t units = 0, passed = 0, failed = 0, incomplete = 0;
  std::vector<store::JournalPosition> positions; // the last of each run in the batch
};

class BatchWriter {
public:
  struct Outcome {
    BatchTally tally;
    bool written = false;
    bool dropped = false; // not tried: an earlier batch failed
    std::string error;    // why the store refused it
  };

  // writer is used by the thread only until Settle returns; it must outlive this object.
  BatchWriter(store::UnitStoreWriter &writer, size_t depth);
  // Writes what was handed over, then stops.
  ~BatchWriter();
  BatchWriter(const BatchWriter &) = delete;
  BatchWriter &operator=(const BatchWriter &) = delete;

  // Hands a batch over; waits while `depth` batches are waiting. After a failure every batch
  // handed over is dropped until Settle: its positions would pass over the refused units.
  void Write(std::vector<store::UnitOperation> operations, BatchTally tally);
  // Waits until every batch handed over is written or dropped; their outcomes in order.
  // Afterwards the thread is idle and the writer may be used by the caller.
  std::vector<Outcome> Settle();
  // A batch has failed since the last Settle.
  bool Failed() const;

private:
  struct Batch {
    std::vector<store::UnitOperation> operations;
    BatchTally tally;
  };
  void Run();

  store::UnitStoreWriter &writer_;
  const size_t depth_;
  mutable std::mutex mutex_;
  std::condition_variable work_, room_, settled_;
  std::deque<Batch> waiting_;
  std::vector<Outcome> outcomes_;
  bool writing_ = false;
  bool failed_ = false;
  bool stop_ = false;
  std::thread thread_;
};

} // namespace qrx::collector
