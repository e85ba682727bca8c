// A deployment's journals into its results store.
#include "deployment_journals.h"

#include "store/store_factory.h"
#include "xml/xml_document.h"

#include <filesystem>
#include <set>

namespace qrx::collector {

namespace fs = std::filesystem;

namespace {
constexpr auto kRetryAfterFailure = std::chrono::seconds(2);

std::string RunKey(const journal::JournalFileName &n) {
  return journal::SanitizedMachineName(n.machine) + "-" + std::to_string(n.pid) + "-" +
         std::to_string(n.threadIndex) + "-" + std::to_string(n.startUs);
}
} // namespace

DeploymentJournals::DeploymentJournals(Options options, JournalEventObserver observer,
                                       store::StoreMessageHandler messages)
    : options_(std::move(options)), observer_(std::move(observer)),
      // The store speaks from the writer thread too: one message at a time.
      messages_([this, handler = std::move(messages)](const std::string &text) {
        std::lock_guard<std::mutex> hold(messageLock_);
        if (handler)
          handler(text);
      }) {}

void DeploymentJournals::Say(const std::string &text) {
  if (messages_)
    messages_(options_.directory + ": " + text);
}

bool DeploymentJournals::JournalFolder(const std::string &directory, std::string *folder,
                                       std::string *error) {
  const fs::path settings = fs::path(directory) / "BusinessCfg" /
                            std::string(journal::recording::kFileName);
  std::error_code ec;
  if (!fs::is_regular_file(settings, ec)) {
    *error = "recording is off: there is no " + settings.string();
    return false;
  }
  CXmlDocument document;
  std::string name;
  if (document.LoadFile(settings.string())) {
    document.Rewind();
    if (document.FindNextChild(std::string(journal::recording::kSection).c_str()) &&
        document.Enter() &&
        document.FindNextChild(std::string(journal::recording::kFolder).c_str()))
      name = document.GetChildText();
  }
  if (name.empty())
    name = std::string(journal::recording::kDefaultFolder);
  const fs::path path(name);
  *folder = (path.is_absolute() ? path : fs::path(directory) / path).lexically_normal().string();
  return true;
}

bool DeploymentJournals::Open(std::string *error) {
  if (!JournalFolder(options_.directory, &folder_, error))
    return false;
  writer_ = store::OpenUnitStoreWriter(options_.database, options_.directory, messages_, error);
  if (!writer_ || !writer_->ReadPositions(&positions_, error))
    return false;
  // One batch written while one more waits and a third is read.
  batches_ = std::make_unique<BatchWriter>(*writer_, 1);
  return true;
}

void DeploymentJournals::Scan() {
  std::error_code ec;
  fs::directory_iterator it(folder_, ec), end;
  if (ec)
    return; // no journal yet: the first station start makes the folder
  std::set<std::string> done;
  std::vector<std::pair<journal::JournalFileName, std::string>> files;
  for (; it != end; it.increment(ec)) {
    if (ec)
      break;
    const std::string file = it->path().filename().string();
    if (file.size() > journal::kDoneSuffix.size() &&
        file.compare(file.size() - journal::kDoneSuffix.size(), std::string::npos,
                     journal::kDoneSuffix) == 0) {
      done.insert(file.substr(0, file.size() - journal::kDoneSuffix.size()));
      continue;
    }
    if (auto name = journal::ParseJournalFileName(file))
      files.emplace_back(std::move(*name), file);
  }
  for (auto &[name, file] : files) {
    if (done.count(file))
      continue;
    const std::string key = RunKey(name);
    auto run = runs_.find(key);
    if (run == runs_.end()) {
      std::optional<store::JournalPosition> committed;
      if (auto p = positions_.find(key); p != positions_.end()) {
        committed = p->second;
        positions_.erase(p);
      }
      const std::string tile = options_.directory + "|" + name.machine + "|" +
                               std::to_string(name.threadIndex);
      run = runs_
                .emplace(key, std::make_unique<StationJournal>(folder_, key, tile, name,
                                                               committed, observer_))
                .first;
    }
    run->second->AddFile(name.seq, file);
  }
}

bool DeploymentJournals::Flush() {
  if (pending_.empty())
    return !batches_->Failed();
  // Only the last position of each run counts: the batch is one transaction.
  std::set<std::string> seen;
  BatchTally tally;
  for (auto op = pending_.rbegin(); op != pending_.rend(); ++op) {
    std::vector<store::JournalPosition> keep;
    for (auto &p : op->positions)
      if (seen.insert(p.journal).second) {
        tally.positions.push_back(p);
        keep.push_back(std::move(p));
      }
    op->positions = std::move(keep);
    if (op->unit.unitId.empty())
      continue;
    ++tally.units;
    switch (op->unit.verdict) {
    case store::UnitVerdict::Pass: ++tally.passed; break;
    case store::UnitVerdict::Fail: ++tally.failed; break;
    case store::UnitVerdict::Incomplete: ++tally.incomplete; break;
    }
  }
  batches_->Write(std::move(pending_), std::move(tally));
  pending_.clear();
  pendingUnits_ = 0;
  return !batches_->Failed();
}

bool DeploymentJournals::Settle() {
  bool ok = true, written = false;
  for (BatchWriter::Outcome &outcome : batches_->Settle()) {
    if (outcome.dropped)
      continue; // read again with the refused batch
    ++counters_.batches;
    if (!outcome.written) {
      ++counters_.failedBatches;
      if (outcome.error != storeProblem_)
        Say("units not recorded, tried again shortly: " + outcome.error);
      storeProblem_ = outcome.error;
      ok = false;
      continue;
    }
    written = true;
    counters_.units += outcome.tally.units;
    counters_.passed += outcome.tally.passed;
    counters_.failed += outcome.tally.failed;
    counters_.incomplete += outcome.tally.incomplete;
    for (const auto &p : outcome.tally.positions)
      if (auto run = runs_.find(p.journal); run != runs_.end())
        run->second->Committed(p);
  }
  if (!ok) {
    // Everything after the committed positions is read again once the store takes writes.
    retryAt_ = std::chrono::steady_clock::now() + kRetryAfterFailure;
    pending_.clear();
    pendingUnits_ = 0;
    for (auto &[key, run] : runs_)
      run->Rewind();
    return false;
  }
  if (written && !storeProblem_.empty()) {
    Say("units are recorded again");
    storeProblem_.clear();
  }
  return true;
}

size_t DeploymentJournals::Poll() {
  if (std::chrono::steady_clock::now() < retryAt_)
    return 0;
  Scan();
  size_t lines = 0;
  for (auto &[key, run] : runs_) {
    for (;;) {
      const size_t before = pending_.size();
      const size_t read = run->Poll(&pending_, options_.batchUnits - pendingUnits_);
      lines += read;
      for (size_t i = before; i < pending_.size(); ++i)
        pendingUnits_ += pending_[i].unit.unitId.empty() ? 0 : 1;
      if (pendingUnits_ < options_.batchUnits)
        break;
      if (!Flush())
        break; // the store refuses: the rest is read again later
    }
    if (batches_->Failed())
      break;
  }
  Flush();
  if (!Settle())
    return lines;
  if (lines == 0)
    writer_->Idle(); // a spooling store forwards what waits while the journals are quiet
  // Runs recorded to their end are forgotten: their files are marked done.
  for (auto run = runs_.begin(); run != runs_.end();) {
    if (!run->second->Finished()) {
      ++run;
      continue;
    }
    counters_.tornLines += run->second->TornLines();
    counters_.lostLines += run->second->LostLines();
    counters_.badLines += run->second->BadLines();
    run = runs_.erase(run);
  }
  for (const auto &[key, run] : runs_)
    if (!run->Problem().empty() &&
        std::find(problems_.begin(), problems_.end(), run->Problem()) == problems_.end()) {
      problems_.push_back(run->Problem());
      Say(run->Problem());
    }
  return lines;
}

std::vector<std::string> DeploymentJournals::Problems() const {
  std::vector<std::string> all = problems_;
  if (!storeProblem_.empty())
    all.push_back(storeProblem_);
  return all;
}

CollectorCounters DeploymentJournals::Counters() const {
  CollectorCounters c = counters_;
  for (const auto &[key, run] : runs_) {
    c.tornLines += run->TornLines();
    c.lostLines += run->LostLines();
    c.badLines += run->BadLines();
  }
  return c;
}

} // namespace qrx::collector
