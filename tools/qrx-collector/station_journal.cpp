// One station run's journal: reading, unit operations with their positions, done marks.
#include "station_journal.h"

#include "platform/host_process.h"
#include "platform/process.h"

#include <filesystem>
#include <fstream>

namespace qrx::collector {

namespace fs = std::filesystem;
using store::JournalPosition;

namespace {
constexpr size_t kLinesPerRead = 1024;

const std::string &LocalMachine() {
  static const std::string name =
      journal::SanitizedMachineName(platform::host::MachineName());
  return name;
}
} // namespace

StationJournal::StationJournal(std::string folder, std::string key, std::string tileKey,
                               const journal::JournalFileName &name,
                               const std::optional<JournalPosition> &committed,
                               JournalEventObserver observer)
    : folder_(std::move(folder)), key_(std::move(key)), tileKey_(std::move(tileKey)), name_(name),
      committed_(committed), observer_(std::move(observer)) {}

void StationJournal::AddFile(int64_t seq, const std::string &fileName) {
  files_[seq] = fileName;
}

void StationJournal::Start() {
  CloseReader();
  assembler_.Reset();
  closed_ = ended_ = over_ = false;
  next_.clear();
  if (committed_) {
    fileSeq_ = committed_->fileSeq;
    stationText_ = committed_->station;
    assembler_.SetStation(nlohmann::json::parse(stationText_, nullptr, false));
    safe_ = queued_ = *committed_;
    doneBelow_ = std::max(doneBelow_, files_.empty() ? 0 : files_.begin()->first);
  } else {
    fileSeq_ = files_.empty() ? 0 : files_.begin()->first;
    safe_ = JournalPosition{key_, files_.empty() ? std::string() : files_.begin()->second,
                            fileSeq_, 0, 0, stationText_};
    queued_ = safe_;
    doneBelow_ = fileSeq_;
  }
}

bool StationJournal::OpenReader() {
  if (reader_)
    return true;
  auto it = files_.find(fileSeq_);
  if (it == files_.end()) {
    // The file was removed (a full folder's retention): go on with the next one there is.
    it = files_.upper_bound(fileSeq_);
    if (it == files_.end())
      return false;
    ++lost_;
    fileSeq_ = it->first;
  }
  const bool resume = safe_.fileSeq == fileSeq_ && safe_.fileName == it->second;
  reader_ = std::make_unique<JournalFileReader>((fs::path(folder_) / it->second).string(),
                                                resume ? safe_.offset : 0,
                                                resume ? safe_.nextSeq : 0);
  return true;
}

void StationJournal::CloseReader() {
  if (!reader_)
    return;
  torn_ += reader_->TornLines();
  lost_ += reader_->LostLines();
  bad_ += reader_->BadLines();
  reader_.reset();
}

JournalPosition StationJournal::PositionHere() const {
  const auto it = files_.find(fileSeq_);
  return JournalPosition{key_,           it == files_.end() ? std::string() : it->second,
                         fileSeq_,       reader_ ? reader_->Offset() : 0,
                         reader_ ? reader_->NextSeq() : 0, stationText_};
}

void StationJournal::Queue(std::vector<store::UnitOperation> *operations, store::UnitRecord unit,
                           const JournalPosition &position) {
  store::UnitOperation operation;
  operation.whole = true;
  operation.unit = std::move(unit);
  operation.positions.push_back(position);
  operations->push_back(std::move(operation));
  queued_ = position;
}

bool StationJournal::HostGone() const {
  // Only a process of this machine can be looked at; another machine's run ends with its
  // station_end (or stays open).
  return name_.machine == LocalMachine() && !platform::ProcessRunning(name_.pid);
}

size_t StationJournal::Poll(std::vector<store::UnitOperation> *operations, size_t maxUnits) {
  if (finished_ || !problem_.empty())
    return 0;
  if (!started_) {
    Start(); // once the folder's files are all known: the run begins at its oldest
    started_ = true;
  }
  size_t lines = 0, units = 0;
  std::vector<JournalLine> batch;
  std::vector<store::UnitRecord> done;
  while (units < maxUnits && OpenReader()) {
    // Asked before reading: whatever a host wrote before it died is read first.
    const bool hostGone = !closed_ && HostGone();
    batch.clear();
    int64_t lineStart = reader_->Offset();
    // A refused line ends the reading; the lines before it still count.
    const bool readable = reader_->ReadMore(&batch, kLinesPerRead, &problem_);
    const std::string &fileName = files_[fileSeq_];
    for (JournalLine &line : batch) {
      ++lines;
      done.clear();
      assembler_.Add(line.event, line.seq, &done);
      const std::string_view type = line.event.StringView(journal::field::kType);
      if (type == journal::event::kStationStart) {
        stationText_ = line.event.Line();
      } else if (type == journal::event::kRotated) {
        closed_ = true;
        next_ = line.event.Text(journal::field::kNext);
      } else if (type == journal::event::kStationEnd) {
        closed_ = ended_ = true;
      }
      // Positions are made only where one is kept: most lines are inside a unit.
      const auto after = [&] {
        return JournalPosition{key_, fileName, fileSeq_, line.endOffset, line.seq + 1,
                               stationText_};
      };
      // The observer sees the finished units before they move to the store's operations.
      if (observer_)
        observer_(tileKey_, assembler_.Station(), line.event, done);
      // A unit that ended because the next one began is recorded up to the line before.
      for (store::UnitRecord &unit : done) {
        ++units;
        Queue(operations, std::move(unit),
              assembler_.Open()
                  ? JournalPosition{key_, fileName, fileSeq_, lineStart, line.seq, stationText_}
                  : after());
      }
      if (!assembler_.Open())
        safe_ = after();
      lineStart = line.endOffset;
    }
    if (!readable)
      break;
    if (!batch.empty())
      continue;
    // Nothing new in this file.
    if (closed_ && !ended_) {
      const auto next = journal::ParseJournalFileName(next_);
      if (!next || !files_.count(next->seq))
        break; // the continuation is not there yet
      CloseReader();
      fileSeq_ = next->seq;
      closed_ = false;
      next_.clear();
      if (!assembler_.Open())
        safe_ = JournalPosition{key_, files_[fileSeq_], fileSeq_, 0, 0, stationText_};
      continue;
    }
    if (ended_) {
      over_ = true;
    } else if (hostGone) {
      reader_->SkipTornTail();
      std::vector<store::UnitRecord> cut; // the unit its host was testing, for the observer too
      if (assembler_.Open()) {
        ++units;
        cut.push_back(assembler_.TakeIncomplete());
        Queue(operations, cut.back(), PositionHere());
      }
      safe_ = PositionHere();
      over_ = true;
      if (observer_)
        observer_(tileKey_, assembler_.Station(),
                  JournalEvent::FromJson(
                      {{journal::field::kType, journal::event::kStationEnd},
                       {journal::field::kText, "its host stopped without ending the station"}}),
                  cut);
    }
    break;
  }
  // Closed files read to their end are recorded as such, so they can be marked done.
  if (!assembler_.Open() && safe_.After(queued_) && (over_ || safe_.fileSeq > queued_.fileSeq)) {
    store::UnitOperation mark;
    mark.positions.push_back(safe_);
    operations->push_back(std::move(mark));
    queued_ = safe_;
  }
  if (over_ && !assembler_.Open() && committed_ && !safe_.After(*committed_))
    Committed(*committed_);
  return lines;
}

void StationJournal::Committed(const JournalPosition &position) {
  if (!committed_ || position.After(*committed_))
    committed_ = position;
  const bool whole = over_ && !assembler_.Open() && !safe_.After(*committed_) &&
                     committed_->fileSeq == fileSeq_;
  MarkDone(committed_->fileSeq, whole);
  if (whole) {
    CloseReader();
    finished_ = true;
  }
}

void StationJournal::MarkDone(int64_t upToSeq, bool includingLast) {
  const int64_t end = includingLast ? upToSeq + 1 : upToSeq;
  for (auto it = files_.lower_bound(doneBelow_); it != files_.end() && it->first < end; ++it) {
    std::ofstream mark(fs::path(folder_) / (it->second + std::string(journal::kDoneSuffix)),
                       std::ios::binary | std::ios::trunc);
  }
  doneBelow_ = std::max(doneBelow_, end);
}

void StationJournal::Rewind() { Start(); }

} // namespace qrx::collector
