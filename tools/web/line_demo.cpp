// line_demo: a made-up line feeding the live page, for trying the page and for the browser
// tests. Stations run synthetic units; the prompting stations ask for each unit's serial number
// through the library's own prompt path (QRX_SetSerialPromptHandler and its pattern matcher).
// With --generate it writes a seeded history of units as JSON lines instead.
#include "line_monitor.h"
#include "serial_prompt_bridge.h"
#include "synthetic_line.h"
#include "unit_source.h"

#include "platform/operator_ui.h"
#include "sn/pattern_matcher.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <set>
#include <thread>

using namespace qrx::web;
using qrx::store::UnitRecord;

namespace {

std::mutex g_out;
std::atomic<bool> g_stop{false};

void Say(const std::string &line) {
  std::lock_guard<std::mutex> lock(g_out);
  std::cout << line << std::endl;
}

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Sleeps in short slices so a stop is never kept waiting.
bool Pause(int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (g_stop) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 20)));
  }
  return !g_stop;
}

struct DemoOptions {
  int stations = 4;
  int units = 0; // per station; 0: until stopped
  int stepMs = 300;
  uint64_t seed = 1;
  std::string pattern = "^[0-9A-Za-z]{10}$";
  std::set<int> asking{1};
  int injectStation = 0;
};

void RunStation(int station, const DemoOptions &o, LineMonitor &monitor) {
  SerialPromptBridge::SetThreadStation(station);
  SyntheticLine line(o.seed * 1000 + uint64_t(station));
  std::string product = station % 2 ? "QRX" : "UFI";
  monitor.StationStarted(station, product, product + "_FT.xml");
  qrx::PatternMatcher matcher(o.pattern);
  for (int k = 0; (o.units == 0 || k < o.units) && !g_stop; ++k) {
    std::string serial;
    if (o.asking.count(station)) {
      std::string text;
      bool ok = qrx::platform::PromptSerialNumber(
          o.pattern, [&](const char *t) { return matcher.Matches(t); }, &text);
      if (g_stop) break;
      if (!ok) {
        Say("prompt station=" + std::to_string(station) + " cancelled");
        --k;
        if (!Pause(200)) break;
        continue;
      }
      serial = text;
      Say("answer station=" + std::to_string(station) + " serial=" + serial);
    } else if (station == o.injectStation) {
      serial = "<script>document.title='pwned'</script>#" + std::to_string(k + 1);
    } else {
      char buf[32];
      std::snprintf(buf, sizeof buf, "S%dU%06d", station, k + 1);
      serial = buf;
    }
    UnitRecord unit = line.Test(serial, station, NowUs());
    // The record is complete; the page is told its story at the line's pace.
    unit.startedUs = NowUs();
    monitor.UnitStarted(station, unit.unitId, serial);
    for (const auto &step : unit.steps) {
      monitor.StepStarted(station, step.index, step.exportName, step.arguments);
      if (!Pause(o.stepMs)) break;
      for (const auto &item : unit.items) {
        if (item.stepIndex != step.index) continue;
        auto shown = item;
        if (station == o.injectStation) shown.name = "<img src=x onerror=\"document.title='pwned'\">";
        monitor.TestItem(station, shown);
      }
      monitor.StepEnded(station, step.index, step.exportName, step.result, step.passed);
    }
    if (g_stop) break;
    // An image download at the end of every unit.
    for (int p = 0; p <= 100; p += 10) {
      monitor.DownloadProgress(station, p);
      if (!Pause(o.stepMs / 5)) break;
    }
    monitor.DownloadEnded(station, true);
    unit.downloads.push_back({int(unit.steps.size()), "image.bin", true, "finished", int64_t(o.stepMs) * 2000});
    unit.endedUs = NowUs();
    monitor.UnitEnded(station, unit);
    Say("unit station=" + std::to_string(station) + " serial=" + serial + " verdict=" +
        (unit.verdict == qrx::store::UnitVerdict::Pass ? "pass" : "fail"));
    if (!Pause(o.stepMs)) break;
  }
  monitor.StationEnded(station, g_stop ? "stopped" : "all units done");
}

} // namespace

int main(int argc, char **argv) {
  CLI::App app{"line_demo: a synthetic line on the live page, or a seeded unit history"};
  DemoOptions o;
  LineMonitorOptions web;
  web.port = 0;
  size_t generate = 0;
  std::string out = "units.jsonl";
  int seconds = 0;
  std::vector<int> asking{1};
  app.add_option("--address", web.address, "address to serve on");
  app.add_option("--port", web.port, "port (0: any free one)");
  app.add_option("--token", web.token, "token required by every request for line data");
  app.add_option("--stations", o.stations, "stations")->check(CLI::Range(1, 64));
  app.add_option("--units", o.units, "units per station (0: until stopped)");
  app.add_option("--step-ms", o.stepMs, "time one step takes")->check(CLI::Range(1, 60000));
  app.add_option("--seed", o.seed, "seed of the measurements");
  app.add_option("--pattern", o.pattern, "serial-number pattern of the prompts");
  app.add_option("--ask", asking, "stations that ask the operator for serial numbers (0: none)");
  app.add_option("--inject", o.injectStation, "station whose units carry markup in their serial numbers and item names");
  app.add_option("--seconds", seconds, "stop after this time (0: at the end of standard input)");
  app.add_option("--generate", generate, "write a history of this many units and exit");
  app.add_option("-o,--output", out, "the JSON-lines file --generate writes");
  CLI11_PARSE(app, argc, argv);
  o.asking = {asking.begin(), asking.end()};

  if (generate) {
    SyntheticLine line(o.seed);
    auto units = line.History(generate, o.stations, 1796000000LL * 1000000); // early December 2026
    std::string error;
    if (!SaveUnits(out, units, &error)) {
      std::cerr << "line_demo: " << error << "\n";
      return 1;
    }
    std::cerr << "line_demo: " << units.size() << " tests of " << generate << " units -> " << out << "\n";
    return 0;
  }

  web.title = "Demo line";
  LineMonitor monitor(web);
  std::string error;
  if (!monitor.Start(&error)) {
    std::cerr << "line_demo: " << error << "\n";
    return 1;
  }
  SerialPromptBridge bridge(monitor.Prompts(), {});
  QRX_SetSerialPromptHandler(&SerialPromptBridge::Handler, &bridge);
  Say("url " + monitor.PageUrl());

  std::vector<std::thread> stations;
  for (int n = 1; n <= o.stations; ++n) stations.emplace_back(RunStation, n, std::cref(o), std::ref(monitor));
  if (seconds > 0) {
    Pause(seconds * 1000);
  } else {
    std::string line;
    while (std::getline(std::cin, line)) {
    }
  }
  g_stop = true;
  monitor.Prompts().Shutdown();
  for (auto &t : stations) t.join();
  QRX_SetSerialPromptHandler(nullptr, nullptr);
  monitor.Stop();
  Say("stopped");
  return 0;
}
