// The live page of a test line: a small HTTP server that shows every station's state, its test
// items and prompts, pushes changes to browsers as server-sent events, and serves reports over
// the units it has seen.
#pragma once

#include "line_counters.h"
#include "prompt_broker.h"
#include "store/unit_record.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace qrx::web {

struct LineMonitorOptions {
  std::string address = "127.0.0.1"; // a non-loopback address needs a token
  int port = 8080;                    // 0: any free port (see Port())
  // When set, every request for line data, every answer and every change must carry it: the
  // header X-QRX-Token, or the query parameter token= (the event stream and report links, which
  // a browser opens without headers). The page takes it from its URL fragment (#token=...),
  // which browsers never send to a server, and keeps it in the tab's session storage.
  std::string token;
  size_t maxStreams = 8;               // browsers watching at once; more are answered 503
  size_t maxRequestBytes = 16 * 1024;  // larger request bodies are answered 413
  size_t itemsPerStation = 8;          // latest test items a tile shows
  size_t unitsKept = 5000;             // units kept for /report, oldest dropped first
  std::chrono::milliseconds coalesce{100}; // changes within this time go out as one event
  std::string title = "QRX line";
};

// What a tile shows of one station.
struct StationView {
  struct Item {
    std::string name, value, lower, upper, verdict;
    bool passed = false;
  };
  int station = 0;
  std::string product, config;
  std::string state = "idle"; // idle, running, ended
  std::string unitId, serialNumber;
  int stepIndex = -1;
  std::string step, stepArguments;
  int stepsDone = 0, stepsFailed = 0;
  int downloadPercent = -1;   // -1: no download running or shown
  std::string downloadState;  // "", "running", "finished", "failed"
  std::deque<Item> items;
  std::string lastSerial, lastVerdict, lastFailure;
  std::string message;        // why the station ended, when it did
  uint64_t version = 0;
};

class LineMonitor {
public:
  explicit LineMonitor(LineMonitorOptions options);
  ~LineMonitor(); // stops the server
  LineMonitor(const LineMonitor &) = delete;
  LineMonitor &operator=(const LineMonitor &) = delete;

  // True when the address is a loopback one (127.0.0.0/8, ::1, localhost).
  static bool IsLoopback(const std::string &address);

  // Binds and starts serving on a thread of its own. False with *error when the options are
  // refused (a non-loopback address without a token) or the port cannot be bound.
  bool Start(std::string *error);
  // Ends the event streams, cancels open prompts and stops serving. A monitor serves once: after
  // Stop its prompts open already cancelled, so no station waits on a page that is gone.
  void Stop();
  int Port() const { return port_; }
  // The page's address, with the token in its fragment when one is set.
  std::string PageUrl() const;

  // Feeding, from station threads: each call takes a short lock and returns; browsers are told
  // by the server's own threads.
  void StationStarted(int station, const std::string &product, const std::string &config);
  void StationEnded(int station, const std::string &message = {});
  void UnitStarted(int station, const std::string &unitId, const std::string &serialNumber);
  void SerialNumberKnown(int station, const std::string &serialNumber);
  void StepStarted(int station, int index, const std::string &exportName, const std::string &arguments);
  void StepEnded(int station, int index, const std::string &exportName, int32_t result, bool passed);
  void TestItem(int station, const qrx::store::TestItemRecord &item);
  void DownloadProgress(int station, int percent);
  void DownloadEnded(int station, bool success);
  void UnitEnded(int station, const qrx::store::UnitRecord &unit);

  // Prompts shown in the station tiles; see SerialPromptBridge for the library's prompt.
  PromptBroker &Prompts() { return prompts_; }

  LineFigures Figures() const;
  std::vector<StationView> Stations() const;
  std::vector<qrx::store::UnitRecord> Units() const;
  // The whole state as the page receives it (also GET /api/state).
  std::string StateJson(bool onlyChangedSince = false, uint64_t since = 0) const;

private:
  struct Stream;
  StationView &ViewLocked(int station);
  void Touch(StationView &view); // under mutex_
  void OnPromptChanged(int station);
  void Route();
  std::string EventPayload(Stream &stream);

  LineMonitorOptions options_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<int, StationView> stations_;
  LineCounters counters_;
  std::deque<qrx::store::UnitRecord> units_;
  uint64_t version_ = 0;
  bool stopping_ = false;
  size_t streams_ = 0;

  PromptBroker prompts_;
  std::unique_ptr<httplib::Server> server_;
  std::thread listener_;
  std::atomic<int> port_{0};
};

} // namespace qrx::web
