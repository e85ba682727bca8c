// qrx-collector: follows the station journals of one or more deployments, records every unit
// in the results store exactly once and shows the stations on the line page.
#include "cfx_feed.h"
#include "cfx_options.h"
#include "deployment_journals.h"
#include "live_page_feed.h"

#include "qrx-run/web_line.h"
#include "web/line_monitor.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <filesystem>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

using namespace qrx;

namespace {

volatile std::sig_atomic_t g_stop = 0;
void Stop(int) { g_stop = 1; }

std::mutex g_say;
void Say(const std::string &text) {
  std::lock_guard<std::mutex> hold(g_say);
  std::fprintf(stderr, "qrx-collector: %s\n", text.c_str());
  std::fflush(stderr);
}

} // namespace

int main(int argc, char **argv) {
  CLI::App app{"qrx-collector: records every unit of the stations' journals in the results "
               "store, exactly once, and shows the stations on a live page"};
  std::vector<std::string> stations;
  std::string db, webAddress, webToken;
  bool once = false;
  int pollMs = 250;
  size_t batch = 64;
  app.add_option("--station", stations,
                 "a deployment folder (holding BusinessCfg/Recording.xml); repeat for more")
      ->required();
  app.add_option("--db", db,
                 "results store: postgresql://... (default: Results/results.db in each "
                 "deployment folder)");
  app.add_option("--web", webAddress, "serve the live page at ADDRESS:PORT (read-only)");
  app.add_option("--web-token", webToken, "token the page asks for (needed off the loopback)");
  app.add_flag("--once", once, "record what the journals hold now, then exit");
  app.add_option("--poll-ms", pollMs, "how often the journals are looked at (ms)")
      ->check(CLI::Range(10, 60000));
  app.add_option("--batch", batch, "units recorded per transaction at most")
      ->check(CLI::Range(1, 10000));
  cfx::CfxCommandLine cfxOptions;
  cfx::AddCfxOptions(app, &cfxOptions);
  app.set_version_flag("--version", QRX_VERSION);
  CLI11_PARSE(app, argc, argv);

  std::unique_ptr<web::LineMonitor> monitor;
  std::unique_ptr<collector::LivePageFeed> feed;
  std::mutex feedLock;
  if (!webAddress.empty()) {
    web::LineMonitorOptions options;
    std::string error;
    if (!tools::WebLine::ParseAddress(webAddress, &options.address, &options.port, &error)) {
      Say(error);
      return 2;
    }
    options.token = webToken;
    options.unitsKept = 500; // the page's reports cover the latest units; the store has them all
    options.title = "QRX line (collector)";
    monitor = std::make_unique<web::LineMonitor>(options);
    if (!monitor->Start(&error)) {
      Say("the live page cannot start: " + error);
      return 2;
    }
    feed = std::make_unique<collector::LivePageFeed>(*monitor);
    Say("live page at " + monitor->PageUrl());
  }
  // The CFX outbox lives beside the first deployment's results.
  std::unique_ptr<cfx::CfxPublisher> publisher;
  std::unique_ptr<collector::CfxFeed> cfxFeed;
  if (!cfxOptions.url.empty()) {
    const std::filesystem::path first = std::filesystem::absolute(stations.front());
    const std::string deployment = (first.filename().empty() ? first.parent_path() : first).filename().string();
    const char *host = std::getenv("HOSTNAME");
    std::string error;
    std::error_code ec;
    std::filesystem::create_directories(first / "Results", ec);
    publisher = cfx::MakePublisher(cfxOptions, (first / "Results").string(), host && *host ? host : "localhost",
                                   deployment, Say, &error);
    if (!publisher) {
      Say(error);
      return 2;
    }
    cfxFeed = std::make_unique<collector::CfxFeed>(*publisher);
    publisher->OnCollectorStarted();
    Say("publishing CFX messages as " + publisher->Handle() + " to " + cfxOptions.url);
  }
  collector::JournalEventObserver observer;
  if (feed || cfxFeed)
    observer = [&](const std::string &tile, const nlohmann::json &station,
                   const collector::JournalEvent &event,
                   const std::vector<store::UnitRecord> &finished) {
      if (feed) feed->OnEvent(tile, station, event, finished);
      if (cfxFeed) cfxFeed->OnEvent(tile, station, event, finished);
    };

  std::vector<std::unique_ptr<collector::DeploymentJournals>> deployments;
  for (const std::string &dir : stations) {
    auto d = std::make_unique<collector::DeploymentJournals>(
        collector::DeploymentJournals::Options{dir, db, batch}, observer, Say);
    std::string error;
    if (!d->Open(&error)) {
      Say(dir + ": " + error);
      return 2;
    }
    Say(dir + ": following the journals in " + d->Folder());
    deployments.push_back(std::move(d));
  }

  std::signal(SIGINT, Stop);
  std::signal(SIGTERM, Stop);
  while (!g_stop) {
    size_t lines = 0;
    for (auto &d : deployments)
      lines += d->Poll();
    if (once && lines == 0)
      break;
    if (lines == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }

  int status = 0;
  for (auto &d : deployments) {
    const collector::CollectorCounters c = d->Counters();
    std::string line = d->Folder() + ": " + std::to_string(c.units) + " unit(s) recorded (" +
                       std::to_string(c.passed) + " pass, " + std::to_string(c.failed) +
                       " fail, " + std::to_string(c.incomplete) + " incomplete)";
    if (c.tornLines)
      line += ", " + std::to_string(c.tornLines) + " torn last line(s) skipped";
    if (c.lostLines)
      line += ", " + std::to_string(c.lostLines) + " line(s) missing from the journal";
    if (c.badLines)
      line += ", " + std::to_string(c.badLines) + " unreadable line(s) skipped";
    if (d->OpenRuns())
      line += ", " + std::to_string(d->OpenRuns()) + " station run(s) still open";
    Say(line);
    for (const std::string &problem : d->Problems()) {
      Say("not recorded: " + problem);
      status = 1;
    }
  }
  if (publisher)
    publisher->OnCollectorStopping(); // what waits in the outbox gets a few seconds
  if (monitor)
    monitor->Stop();
  return status;
}
