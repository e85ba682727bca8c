// The collector thread of qrx-run: polls the deployment's journals until the stations are done
// and every unit they ended is in the store.
#include "run_collector.h"

namespace qrx::tools {

const char *RunCollector::DefaultRecordingXml() {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
         "<Recording>\n"
         "  <Journal>\n"
         "    <Folder>Journal</Folder>\n"
         "  </Journal>\n"
         "</Recording>\n";
}

RunCollector::~RunCollector() {
  if (thread_.joinable()) Finish(std::chrono::seconds(0));
}

bool RunCollector::Start(Options options, std::string *error) {
  options_ = std::move(options);
  if (!options_.jsonPath.empty()) {
    json_ = std::make_unique<JsonLinesSink>(options_.jsonPath);
    if (!json_->Ok()) {
      *error = "cannot write --json: " + json_->Error();
      return false;
    }
  }
  journals_ = std::make_unique<collector::DeploymentJournals>(
      collector::DeploymentJournals::Options{options_.directory, options_.database, 64},
      [this](const std::string &, const nlohmann::json &, const collector::JournalEvent &,
             const std::vector<store::UnitRecord> &finished) {
        if (!finished.empty()) OnUnits(finished);
      },
      [](const std::string &text) { std::fprintf(stderr, "qrx-run: %s\n", text.c_str()); });
  if (!journals_->Open(error)) return false;
  thread_ = std::thread([this] { Loop(); });
  return true;
}

void RunCollector::OnUnits(const std::vector<store::UnitRecord> &finished) {
  std::lock_guard<std::mutex> hold(lock_);
  for (const store::UnitRecord &unit : finished) {
    if (!awaited_.count(unit.unitId)) continue; // another host's, or an earlier run's
    inBatch_.insert(unit.unitId);
    // A batch the store refused is read again: its units go into the JSON lines once.
    if (json_ && written_.insert(unit.unitId).second) json_->EndUnit(unit);
  }
}

void RunCollector::UnitEnded(const std::string &unitId) {
  std::lock_guard<std::mutex> hold(lock_);
  awaited_.insert(unitId);
}

std::string RunCollector::Problem() const {
  std::lock_guard<std::mutex> hold(lock_);
  return problem_;
}

int64_t RunCollector::Recorded() const {
  std::lock_guard<std::mutex> hold(lock_);
  return recorded_;
}

void RunCollector::Loop() {
  auto progress = std::chrono::steady_clock::now();
  for (;;) {
    const int64_t failedBefore = journals_->Counters().failedBatches;
    const size_t lines = journals_->Poll();
    const collector::CollectorCounters after = journals_->Counters();
    std::unique_lock<std::mutex> hold(lock_);
    if (after.failedBatches == failedBefore) {
      // Every batch of this poll is in the store.
      for (const std::string &id : inBatch_) {
        recorded_ += awaited_.erase(id);
        written_.erase(id);
      }
      problem_.clear();
    } else {
      const std::vector<std::string> problems = journals_->Problems();
      problem_ = problems.empty() ? "the results store refuses units" : problems.back();
    }
    if (!inBatch_.empty() || lines > 0) progress = std::chrono::steady_clock::now();
    inBatch_.clear();
    if (finishing_ && (awaited_.empty() ||
                       std::chrono::steady_clock::now() - progress > patience_))
      return;
    if (lines == 0) wake_.wait_for(hold, options_.poll);
  }
}

size_t RunCollector::Finish(std::chrono::seconds patience) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    finishing_ = true;
    patience_ = patience;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  json_.reset(); // writes what it was handed
  std::lock_guard<std::mutex> hold(lock_);
  return awaited_.size();
}

} // namespace qrx::tools
