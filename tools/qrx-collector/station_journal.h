// One station run's journal (its first file and every rotation after it): read from the
// position the store holds, turned into unit operations that each carry the position reached
// with them, and marked done file by file once the store has everything in it.
#pragma once

#include "journal_file_reader.h"
#include "unit_assembler.h"

#include "journal/journal_format.h"
#include "store/journal_position.h"
#include "store/unit_store_writer.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qrx::collector {

// Every event read, with the run's station_start and the units it finished, for the live page.
using JournalEventObserver =
    std::function<void(const std::string &tileKey, const nlohmann::json &station,
                       const JournalEvent &event, const std::vector<store::UnitRecord> &finished)>;

class StationJournal {
public:
  // key: "<machine>-<pid>-<threadIndex>-<startUs>"; tileKey names the station on the page
  // (the same for every run of one station).
  StationJournal(std::string folder, std::string key, std::string tileKey,
                 const journal::JournalFileName &name,
                 const std::optional<store::JournalPosition> &committed,
                 JournalEventObserver observer);

  // A file of the run seen in the folder.
  void AddFile(int64_t seq, const std::string &fileName);
  // Reads what is new. Finished units, and marks that a closed file or a dead host's file is
  // read to its end, go to *operations; at most maxUnits units. The lines read are returned.
  size_t Poll(std::vector<store::UnitOperation> *operations, size_t maxUnits);
  // The store has everything up to position: files before it (and the last one, when the run
  // is over) are marked done.
  void Committed(const store::JournalPosition &position);
  // The store refused the operations handed out since the last commit: read them again.
  void Rewind();

  // The run is over and recorded to its end: nothing more will come.
  bool Finished() const { return finished_; }
  const std::string &Key() const { return key_; }
  // Why the run cannot be read (a newer format, a file that cannot be opened); "" otherwise.
  const std::string &Problem() const { return problem_; }
  int64_t TornLines() const { return torn_ + (reader_ ? reader_->TornLines() : 0); }
  int64_t LostLines() const { return lost_ + (reader_ ? reader_->LostLines() : 0); }
  int64_t BadLines() const { return bad_ + (reader_ ? reader_->BadLines() : 0); }

private:
  void Start();
  bool OpenReader();
  void CloseReader();
  store::JournalPosition PositionHere() const;
  void Queue(std::vector<store::UnitOperation> *operations, store::UnitRecord unit,
             const store::JournalPosition &position);
  bool HostGone() const;
  void MarkDone(int64_t upToSeq, bool includingLast);

  std::string folder_, key_, tileKey_;
  journal::JournalFileName name_;
  std::optional<store::JournalPosition> committed_;
  JournalEventObserver observer_;
  std::map<int64_t, std::string> files_; // seq -> file name
  int64_t doneBelow_ = 0;                // files with a smaller seq are marked done

  int64_t fileSeq_ = 0;
  std::unique_ptr<JournalFileReader> reader_;
  UnitAssembler assembler_;
  std::string stationText_; // station_start as JSON text, kept with every position
  store::JournalPosition safe_;   // the latest position outside any unit
  store::JournalPosition queued_; // the latest position handed out
  bool started_ = false;
  bool closed_ = false;   // the current file ended with "rotated" or "station_end"
  bool ended_ = false;    // station_end read
  bool over_ = false;     // ended or its host is gone: nothing more will be written
  bool finished_ = false;
  std::string next_;      // the continuation named by "rotated"
  std::string problem_;
  int64_t torn_ = 0, lost_ = 0, bad_ = 0;
};

} // namespace qrx::collector
