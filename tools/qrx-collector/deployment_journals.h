// The journals of one deployment (a station folder with BusinessCfg/Recording.xml) and the
// results store its units go to: finds the station runs in the journal folder, reads them and
// records their units in batches, each batch in one transaction with the positions reached.
// A batch is written on a thread of its own while the next one is read.
#pragma once

#include "batch_writer.h"
#include "station_journal.h"

#include "store/unit_store_writer.h"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace qrx::collector {

struct CollectorCounters {
  int64_t units = 0, passed = 0, failed = 0, incomplete = 0;
  int64_t tornLines = 0, lostLines = 0, badLines = 0;
  int64_t batches = 0, failedBatches = 0;
};

class DeploymentJournals {
public:
  struct Options {
    std::string directory; // the deployment (holds BusinessCfg/)
    std::string database;  // --db: "" for DIRECTORY/Results/results.db
    size_t batchUnits = 64; // units per transaction at most
  };

  DeploymentJournals(Options options, JournalEventObserver observer,
                     store::StoreMessageHandler messages);

  // The journal folder named by Recording.xml, the store and the positions it holds. False
  // with *error when the deployment does not record or the store cannot be opened.
  bool Open(std::string *error);
  // One pass over the folder: new runs, new lines, their units recorded (every batch of the
  // pass is in the store, or refused, when it returns). The lines read.
  size_t Poll();
  // The folder the journals are in.
  const std::string &Folder() const { return folder_; }
  // Every problem so far that keeps something from being recorded, for people (a journal of a
  // newer format, a store that refuses writes).
  std::vector<std::string> Problems() const;
  CollectorCounters Counters() const;
  // Runs being followed (not yet recorded to their end).
  size_t OpenRuns() const { return runs_.size(); }

  // "DIR/BusinessCfg/Recording.xml" says where the journal is: its folder, relative to DIR.
  // False with *error when recording is off (no such file).
  static bool JournalFolder(const std::string &directory, std::string *folder, std::string *error);

private:
  void Scan();
  bool Flush();
  bool Settle();
  void Say(const std::string &text);

  Options options_;
  JournalEventObserver observer_;
  std::mutex messageLock_;
  store::StoreMessageHandler messages_;
  std::string folder_;
  std::unique_ptr<store::UnitStoreWriter> writer_;
  std::unique_ptr<BatchWriter> batches_; // ends before writer_
  store::JournalPositions positions_; // as the store had them at the start
  std::map<std::string, std::unique_ptr<StationJournal>> runs_;
  std::vector<store::UnitOperation> pending_;
  size_t pendingUnits_ = 0;
  CollectorCounters counters_;     // of runs no longer followed, and units recorded
  std::vector<std::string> problems_;
  std::string storeProblem_;
  std::chrono::steady_clock::time_point retryAt_{};
};

} // namespace qrx::collector
