// qrx-run's units are recorded the way every host's are: the library journals each station,
// and this collector, running on a thread of qrx-run beside the stations, turns the journals
// of the deployment into unit records in the results store and, with --json, into JSON lines.
#pragma once

#include "deployment_journals.h"
#include "json_lines_sink.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace qrx::tools {

class RunCollector {
public:
  struct Options {
    std::string directory; // the deployment
    std::string database;  // --db, "" for the deployment's SQLite file
    std::string jsonPath;  // --json, "" for none
    std::chrono::milliseconds poll{100};
  };

  RunCollector() = default;
  ~RunCollector();
  RunCollector(const RunCollector &) = delete;
  RunCollector &operator=(const RunCollector &) = delete;

  // Opens the store and the journal folder and starts following them. False with *error.
  bool Start(Options options, std::string *error);
  // A station ended the unit recorded under unitId: its record is awaited before qrx-run ends.
  void UnitEnded(const std::string &unitId);
  // Why units cannot be recorded now (the store refuses them), "" when they can.
  std::string Problem() const;
  // Records what the journals still hold, waiting while that makes progress, at most patience
  // without any; then stops. The units handed over that are still not recorded.
  size_t Finish(std::chrono::seconds patience);
  int64_t Recorded() const;

  // "Recording.xml" of a deployment that keeps no journal, written when qrx-run turns the
  // journal on for it.
  static const char *DefaultRecordingXml();

private:
  void Loop();
  void OnUnits(const std::vector<store::UnitRecord> &finished);

  Options options_;
  std::unique_ptr<collector::DeploymentJournals> journals_;
  std::unique_ptr<JsonLinesSink> json_;
  std::thread thread_;
  mutable std::mutex lock_;
  std::condition_variable wake_;
  bool finishing_ = false;
  std::chrono::seconds patience_{0};
  std::set<std::string> awaited_;  // ended by a station, not yet recorded
  std::set<std::string> inBatch_;  // seen by the current poll
  std::set<std::string> written_;  // in the JSON lines, not yet recorded in the store
  std::string problem_;
  int64_t recorded_ = 0;
};

} // namespace qrx::tools
