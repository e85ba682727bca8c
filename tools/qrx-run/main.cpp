// qrx-run: a test host for libQRXInterface.so. Loads the library with dlopen as a host does
// and runs sequence files on N stations in parallel, one thread each.
#include "sequence_parser.h"

#include "../../sim/common/download_protocol.h"
#include "../common/ansi_text.h"
#include "../common/call_dispatcher.h"

#include <qrx/download_event.h>
#include <qrx/host_ui.h>
#include <qrx/log_service.h>

#include "platform/host_process.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace qrx::tools;

namespace {

std::mutex g_print;
bool g_quiet = false;
thread_local int t_station = 0;

void Print(int station, const std::string &text) {
  std::lock_guard<std::mutex> hold(g_print);
  if (station > 0) std::printf("[S%d] %s\n", station, text.c_str());
  else std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

// ---- log observer: one per station ----
class StationObserver : public ILogObserver {
public:
  explicit StationObserver(int station) : station_(station) {}
  void OnLog(int level, std::string line) override {
    if (g_quiet) return;
    std::string text = AnsiText::ToUtf8(line);
    for (char &c : text)
      if (c == '\r' || c == '\n') c = ' ';
    Print(station_, (level == QRX_LOG_LEVEL_TEST_ITEM ? "  " : "  . ") + text);
  }

private:
  int station_;
};

// ---- download progress: the library relays the plug-in's reports to one callback ----
struct DownloadState {
  int job = 0;
  bool finished = false;
  bool success = false;
  int percent = 0;
};
std::mutex g_downloadLock;
std::condition_variable g_downloadChanged;
std::mutex g_startLock;               // one download start at a time, so jobs map to stations
std::atomic<int> g_startingStation{0};
std::map<int, int> g_jobStation;
std::map<int, DownloadState> g_downloads; // by station

void DrawBar(int station, int percent) {
  std::string bar(20, '.');
  for (int i = 0; i < percent / 5 && i < 20; ++i) bar[static_cast<size_t>(i)] = '#';
  Print(station, "download [" + bar + "] " + std::to_string(percent) + "%");
}

int32_t QRX_CALLBACK OnProgress(QRXDownloadEvent e) {
  int station = 0;
  int job = e.kind == 0 ? e.value3 : e.kind == 1 ? e.value4 : e.value1;
  {
    std::lock_guard<std::mutex> hold(g_downloadLock);
    if (e.kind == 0) {
      station = g_startingStation.load();
      g_jobStation[job] = station;
      g_downloads[station] = DownloadState{job, false, false, 0};
    } else {
      auto it = g_jobStation.find(job);
      if (it == g_jobStation.end()) return 0;
      station = it->second;
    }
    DownloadState &d = g_downloads[station];
    if (d.job != job) return 0;
    if (e.kind == 1) d.percent = e.value1;
    if (e.kind == 3) {
      d.finished = true;
      d.success = e.value5 == 1;
    }
  }
  g_downloadChanged.notify_all();
  if (e.kind == 0) Print(station, "download job " + std::to_string(job) + " started (" + std::to_string(e.value1) + " KiB)");
  else if (e.kind == 1 && e.value1 % 25 == 0) DrawBar(station, e.value1);
  else if (e.kind == 2) Print(station, "download verifying");
  else if (e.kind == 4) Print(station, "download error " + std::to_string(e.value2));
  else if (e.kind == 3) Print(station, std::string("download ") + (e.value5 == 1 ? "finished" : "failed"));
  return 0;
}

// ---- operator prompts ----
std::mutex g_answerLock;
std::map<int, std::deque<std::string>> g_answers; // station 0: for every station
bool g_useTerminal = true;

int OnSerialPrompt(void *, const char *pattern, QRXMatchFn matches, void *matcher, char *out,
                   size_t size) {
  int station = t_station;
  std::string answer;
  bool have = false;
  {
    std::lock_guard<std::mutex> hold(g_answerLock);
    for (int key : {station, 0}) {
      auto &queue = g_answers[key];
      if (!queue.empty()) {
        answer = queue.front();
        if (queue.size() > 1) queue.pop_front(); // the last answer keeps answering
        have = true;
        break;
      }
    }
  }
  std::string p = pattern ? pattern : "";
  if (have) {
    answer = AnsiText::FromUtf8(SequenceParser::Expand(answer, station, station - 1));
    if (matches(matcher, answer.c_str()) != 1 || answer.size() + 1 > size) {
      Print(station, "prompt " + p + ": the given answer '" + answer + "' does not match; cancelled");
      return 0;
    }
    std::memcpy(out, answer.c_str(), answer.size() + 1);
    Print(station, "prompt " + p + ": answered " + AnsiText::ToUtf8(answer));
    return 1;
  }
  FILE *tty = g_useTerminal ? std::fopen("/dev/tty", "r+") : nullptr;
  if (!tty) {
    Print(station, "prompt " + p + ": no answer given (--serial) and no terminal; cancelled");
    return 0;
  }
  std::lock_guard<std::mutex> hold(g_print);
  for (;;) {
    std::fprintf(tty, "[S%d] enter the barcode (%s), empty line cancels: ", station, p.c_str());
    std::fflush(tty);
    char line[512];
    if (!std::fgets(line, sizeof line, tty)) break;
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.empty()) break;
    text = AnsiText::FromUtf8(text);
    if (matches(matcher, text.c_str()) == 1 && text.size() + 1 <= size) {
      std::memcpy(out, text.c_str(), text.size() + 1);
      std::fclose(tty);
      return 1;
    }
    std::fprintf(tty, "does not match %s\n", p.c_str());
  }
  std::fclose(tty);
  return 0;
}

void OnMessageBox(void *, const char *caption, const char *text) {
  Print(t_station, "MESSAGE " + AnsiText::ToUtf8(caption ? caption : "") + ": " +
                       AnsiText::ToUtf8(text ? text : ""));
}

// ---- stations ----
struct StationPlan {
  int number = 0;
  int index = 0;
  std::string product;
  std::string config;
  const Sequence *sequence = nullptr;
};

struct StepOutcome {
  int line;
  std::string call;
  int result;
  bool passed;
  long long ms;
  std::string output;
};

struct StationReport {
  std::vector<StepOutcome> steps;
  int passed = 0, failed = 0;
  double seconds = 0;
  bool initialised = false;
};

struct Library {
  void *handle = nullptr;
  int (*init)(int, const char *, const char *) = nullptr;
  int (*cleanup)() = nullptr;
  void *Symbol(const std::string &name) const { return qrx::platform::host::FindSymbol(handle, name.c_str()); }
};

// Registry changes must not overlap other stations' calls: stations start and end one at a
// time, and nobody runs a step while another station starts or ends.
class Turns {
public:
  explicit Turns(int count) : count_(count) {}
  void WaitTurn(int phase, int station) {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [&] { return phase_ == phase && turn_ == station; });
  }
  void Done() {
    std::lock_guard<std::mutex> hold(m_);
    if (++turn_ > count_) {
      turn_ = 1;
      ++phase_;
    }
    cv_.notify_all();
  }
  void WaitPhase(int phase) {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [&] { return phase_ >= phase; });
  }
  void Arrive(int phase) { // everyone arrives before the phase ends
    std::lock_guard<std::mutex> hold(m_);
    if (phase_ == phase && ++arrived_ == count_) {
      arrived_ = 0;
      ++phase_;
    }
    cv_.notify_all();
  }

private:
  std::mutex m_;
  std::condition_variable cv_;
  int count_;
  int phase_ = 0, turn_ = 1, arrived_ = 0;
};

std::string Describe(const SequenceStep &step) { return step.source; }

bool RunCall(const Library &lib, const StationPlan &plan, StationObserver *observer,
             const SequenceStep &step, StepOutcome *outcome) {
  const ExportRow &row = *step.row;
  void *symbol = lib.Symbol(row.name);
  if (!symbol) {
    outcome->output = "the library does not export " + row.name;
    return false;
  }
  std::vector<CallArg> args(step.args.size());
  std::vector<std::string> texts(step.args.size());
  std::vector<std::vector<char>> buffers(step.args.size());
  std::vector<double> doubles(step.args.size(), -999.0);
  for (size_t i = 0; i < step.args.size(); ++i) {
    const SequenceArg &a = step.args[i];
    switch (a.type) {
    case ArgType::kInt: args[i].i = static_cast<int>(a.integer); break;
    case ArgType::kDouble: args[i].d = a.real; break;
    case ArgType::kText:
      texts[i] = AnsiText::FromUtf8(SequenceParser::Expand(a.text, plan.number, plan.index));
      args[i].p = texts[i].data();
      break;
    case ArgType::kTextBuffer:
      // Large enough for every identity the plug-ins return (SN 50, flags 41 bytes).
      buffers[i].assign(1024, '\0');
      args[i].p = buffers[i].data();
      break;
    case ArgType::kDoubleOut: args[i].p = &doubles[i]; break;
    case ArgType::kCallback:
      args[i].p = a.isNull ? nullptr : reinterpret_cast<void *>(&OnProgress);
      break;
    case ArgType::kObserver: args[i].p = a.isNull ? nullptr : static_cast<void *>(observer); break;
    }
  }
  int result = 0;
  bool download = row.name == "StartDownloadImage";
  std::unique_lock<std::mutex> startHold(g_startLock, std::defer_lock);
  if (download) {
    startHold.lock();
    g_startingStation = plan.number;
  }
  if (!CallDispatcher::Call(symbol, row.CallSignature(), args, &result)) {
    outcome->output = "no call signature for " + row.name;
    return false;
  }
  if (download) startHold.unlock();
  outcome->result = result;
  bool passed = step.expect == SequenceStep::Expect::kAny ||
                (step.expect == SequenceStep::Expect::kEqual ? result == step.expected
                                                             : result != step.expected);
  for (size_t i = 0; i < step.args.size(); ++i) {
    const SequenceArg &a = step.args[i];
    if (a.type == ArgType::kTextBuffer) {
      std::string got = AnsiText::ToUtf8(buffers[i].data());
      outcome->output += (outcome->output.empty() ? "" : " ") + ("out=\"" + got + "\"");
      if (a.expectText && got != SequenceParser::Expand(a.text, plan.number, plan.index)) {
        passed = false;
        outcome->output += " (expected \"" + SequenceParser::Expand(a.text, plan.number, plan.index) + "\")";
      }
    } else if (a.type == ArgType::kDoubleOut && doubles[i] != -999.0) {
      char text[64];
      std::snprintf(text, sizeof text, "out=%.3f", doubles[i]);
      outcome->output += (outcome->output.empty() ? "" : " ") + std::string(text);
    }
  }
  return passed;
}

bool WaitDownload(int station, int seconds, std::string *output) {
  std::unique_lock<std::mutex> lock(g_downloadLock);
  auto it = g_downloads.find(station);
  if (it == g_downloads.end()) {
    *output = "no download was started on this station";
    return false;
  }
  bool done = g_downloadChanged.wait_for(lock, std::chrono::seconds(seconds), [&] {
    return g_downloads[station].finished;
  });
  DownloadState d = g_downloads[station];
  g_downloads.erase(station);
  if (!done) {
    *output = "the download did not finish within " + std::to_string(seconds) + " s";
    return false;
  }
  *output = d.success ? "download finished" : "download failed";
  return d.success;
}

void RunStation(const Library &lib, const StationPlan &plan, Turns *turns, StationReport *report) {
  t_station = plan.number;
  StationObserver observer(plan.number);
  auto start = std::chrono::steady_clock::now();
  turns->WaitTurn(0, plan.number);
  int init = lib.init(plan.index, plan.config.c_str(), plan.product.c_str());
  report->initialised = init == 0;
  auto *reg = reinterpret_cast<int (*)(ILogObserver *)>(lib.Symbol("RegisterObserver"));
  if (report->initialised && reg) reg(&observer);
  Print(plan.number, "InitQRXInterface(" + std::to_string(plan.index) + ", \"" + plan.config +
                         "\", \"" + plan.product + "\") = " + std::to_string(init));
  turns->Done();
  turns->WaitPhase(1);
  if (!report->initialised) {
    report->failed = 1;
    report->steps.push_back({0, "InitQRXInterface", init, false, 0, "the station could not start"});
  } else {
    for (const SequenceStep &step : plan.sequence->steps) {
      auto t0 = std::chrono::steady_clock::now();
      StepOutcome outcome{step.line, Describe(step), 0, true, 0, ""};
      switch (step.kind) {
      case SequenceStep::Kind::kEcho:
        Print(plan.number, SequenceParser::Expand(step.text, plan.number, plan.index));
        continue;
      case SequenceStep::Kind::kSleep:
        std::this_thread::sleep_for(std::chrono::milliseconds(step.number));
        continue;
      case SequenceStep::Kind::kWaitDownload:
        outcome.passed = WaitDownload(plan.number, step.number, &outcome.output);
        break;
      case SequenceStep::Kind::kCall:
        outcome.passed = RunCall(lib, plan, &observer, step, &outcome);
        break;
      }
      outcome.ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - t0).count();
      std::string verdict = outcome.passed ? "ok  " : "FAIL";
      std::string text = verdict + " " + plan.sequence->path + ":" + std::to_string(step.line) + " " + step.source;
      if (step.kind == SequenceStep::Kind::kCall) text += "  -> " + std::to_string(outcome.result);
      if (!outcome.output.empty()) text += "  " + outcome.output;
      Print(plan.number, text);
      (outcome.passed ? report->passed : report->failed)++;
      report->steps.push_back(outcome);
    }
  }
  turns->Arrive(1);
  turns->WaitTurn(2, plan.number);
  if (report->initialised) {
    auto *unreg = reinterpret_cast<int (*)(ILogObserver *)>(lib.Symbol("UnRegisterObserver"));
    if (unreg) unreg(&observer);
    lib.cleanup();
  }
  turns->Done();
  report->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string JsonEscape(const std::string &s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') out += '\\', out += static_cast<char>(c);
    else if (c < 0x20) {
      char b[8];
      std::snprintf(b, sizeof b, "\\u%04x", c);
      out += b;
    } else out += static_cast<char>(c);
  }
  return out;
}

void Usage() {
  std::fprintf(stderr,
      "usage: qrx-run [options] SEQUENCE [S=SEQUENCE ...]\n"
      "  --station DIR       deployment directory (default: the station folder beside qrx-run)\n"
      "  --stations N        number of stations, one thread each (default 1)\n"
      "  --product [S=]TYPE  QRX or UFI (default: the sequence's @product, else QRX)\n"
      "  --config [S=]FILE   business-configuration file in BusinessCfg\n"
      "                      (default: the sequence's @config, else <product>_Station.xml)\n"
      "  --first-index N     thread index of station 1 (default 0)\n"
      "  --serial [S=]TEXT   answer to the operator's barcode prompt (repeatable)\n"
      "  --no-terminal       never ask on the terminal; unanswered prompts are cancelled\n"
      "  --json FILE         write every step as one JSON line\n"
      "  --quiet             do not print the library's log lines\n"
      "  --check             only check the sequences\n");
}

// "S=VALUE" or "VALUE"; station 0 means every station.
bool SplitStation(const std::string &arg, int *station, std::string *value) {
  auto eq = arg.find('=');
  if (eq != std::string::npos && eq > 0 && arg.find_first_not_of("0123456789") == eq) {
    *station = std::atoi(arg.substr(0, eq).c_str());
    *value = arg.substr(eq + 1);
    return *station > 0;
  }
  *station = 0;
  *value = arg;
  return true;
}

std::string ExecutableDirectory() {
  std::string dir = qrx::platform::host::ProgramDirectory();
  return dir.empty() ? "./" : dir;
}

} // namespace

int main(int argc, char **argv) {
  std::string stationDir, jsonPath;
  int stations = 1, firstIndex = 0;
  bool checkOnly = false;
  std::map<int, std::string> products, configs, sequencePaths;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&](std::string *out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "qrx-run: %s needs a value\n", a.c_str());
        std::exit(2);
      }
      *out = argv[++i];
    };
    std::string v;
    int s;
    if (a == "--station") next(&stationDir);
    else if (a == "--stations") {
      next(&v);
      stations = std::atoi(v.c_str());
      if (stations < 1 || stations > 64) { std::fprintf(stderr, "qrx-run: --stations takes 1 to 64\n"); return 2; }
    } else if (a == "--first-index") { next(&v); firstIndex = std::atoi(v.c_str()); }
    else if (a == "--product" || a == "--config" || a == "--serial") {
      next(&v);
      std::string value;
      if (!SplitStation(v, &s, &value)) { std::fprintf(stderr, "qrx-run: bad station in %s\n", v.c_str()); return 2; }
      if (a == "--product") products[s] = value;
      else if (a == "--config") configs[s] = value;
      else g_answers[s].push_back(value);
    } else if (a == "--json") next(&jsonPath);
    else if (a == "--quiet") g_quiet = true;
    else if (a == "--no-terminal") g_useTerminal = false;
    else if (a == "--check") checkOnly = true;
    else if (a == "-h" || a == "--help") { Usage(); return 0; }
    else if (!a.empty() && a[0] == '-') { std::fprintf(stderr, "qrx-run: unknown option %s\n", a.c_str()); Usage(); return 2; }
    else {
      std::string value;
      SplitStation(a, &s, &value);
      sequencePaths[s] = value;
    }
  }
  if (sequencePaths.empty()) { Usage(); return 2; }
  // Every sequence is checked completely before anything runs.
  std::map<std::string, Sequence> parsed;
  for (const auto &[s, path] : sequencePaths) {
    if (parsed.count(path)) continue;
    std::string error;
    auto sequence = SequenceParser::ParseFile(path, &error);
    if (!sequence) {
      std::fprintf(stderr, "qrx-run: %s\n", error.c_str());
      return 2;
    }
    parsed[path] = std::move(*sequence);
  }
  std::vector<StationPlan> plans;
  for (int n = 1; n <= stations; ++n) {
    StationPlan plan;
    plan.number = n;
    plan.index = firstIndex + n - 1;
    auto seq = sequencePaths.count(n) ? sequencePaths[n] : sequencePaths.count(0) ? sequencePaths[0] : "";
    if (seq.empty()) { std::fprintf(stderr, "qrx-run: no sequence for station %d\n", n); return 2; }
    plan.sequence = &parsed[seq];
    plan.product = products.count(n) ? products[n] : products.count(0) ? products[0]
                 : !plan.sequence->product.empty() ? plan.sequence->product : "QRX";
    plan.config = configs.count(n) ? configs[n] : configs.count(0) ? configs[0]
                : !plan.sequence->config.empty() ? plan.sequence->config : plan.product + "_Station.xml";
    plans.push_back(plan);
  }
  if (checkOnly) {
    for (const auto &[path, seq] : parsed) std::printf("%s: %zu steps, OK\n", path.c_str(), seq.steps.size());
    return 0;
  }
  // Sequence paths stay valid after the move into the deployment directory.
  if (stationDir.empty()) stationDir = ExecutableDirectory() + "station";
  std::string here = qrx::platform::host::CurrentDirectory();
  if (!jsonPath.empty() && !qrx::platform::host::IsAbsolutePath(jsonPath)) jsonPath = here + jsonPath;
  if (!qrx::platform::host::ChangeDirectory(stationDir)) {
    std::fprintf(stderr, "qrx-run: cannot enter the deployment directory %s\n", stationDir.c_str());
    return 2;
  }
  const std::string station = qrx::platform::host::CurrentDirectory();
  qrx::platform::host::SetEnvironmentDefault("QRX_VISA_LIBRARY", station + qrx::platform::host::VisaLibraryFile());
  Library lib;
  std::string libPath = station + qrx::platform::host::InterfaceLibraryFile();
  std::string loadError;
  lib.handle = qrx::platform::host::OpenLibrary(libPath, false, &loadError);
  if (!lib.handle) {
    std::fprintf(stderr, "qrx-run: cannot load %s: %s\n", libPath.c_str(), loadError.c_str());
    return 2;
  }
  lib.init = reinterpret_cast<int (*)(int, const char *, const char *)>(lib.Symbol("InitQRXInterface"));
  lib.cleanup = reinterpret_cast<int (*)()>(lib.Symbol("CleanUpQRXInterface"));
  auto setPrompt = reinterpret_cast<int (*)(QRXSerialPromptFn, void *)>(lib.Symbol("QRX_SetSerialPromptHandler"));
  auto setBox = reinterpret_cast<int (*)(QRXMessageBoxFn, void *)>(lib.Symbol("QRX_SetMessageBoxHandler"));
  if (!lib.init || !lib.cleanup) {
    std::fprintf(stderr, "qrx-run: %s lacks InitQRXInterface/CleanUpQRXInterface\n", libPath.c_str());
    return 2;
  }
  if (setPrompt) setPrompt(&OnSerialPrompt, nullptr);
  if (setBox) setBox(&OnMessageBox, nullptr);

  Turns turns(stations);
  std::vector<StationReport> reports(plans.size());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < plans.size(); ++i)
    threads.emplace_back(RunStation, std::cref(lib), std::cref(plans[i]), &turns, &reports[i]);
  for (auto &t : threads) t.join();

  int failed = 0;
  std::printf("\n%-8s %-8s %-28s %6s %7s %7s %8s\n", "station", "product", "sequence", "steps", "passed", "failed", "time");
  for (size_t i = 0; i < plans.size(); ++i) {
    const StationReport &r = reports[i];
    std::string name = plans[i].sequence->path;
    if (name.size() > 28) name = "..." + name.substr(name.size() - 25);
    std::printf("S%-7d %-8s %-28s %6zu %7d %7d %7.2fs\n", plans[i].number, plans[i].product.c_str(),
                name.c_str(), r.steps.size(), r.passed, r.failed, r.seconds);
    failed += r.failed;
  }
  std::printf("%s\n", failed ? "RESULT: FAIL" : "RESULT: PASS");
  if (!jsonPath.empty()) {
    std::ofstream json(jsonPath, std::ios::trunc);
    for (size_t i = 0; i < plans.size(); ++i)
      for (const StepOutcome &o : reports[i].steps)
        json << "{\"station\":" << plans[i].number << ",\"index\":" << plans[i].index
             << ",\"sequence\":\"" << JsonEscape(plans[i].sequence->path) << "\",\"line\":" << o.line
             << ",\"step\":\"" << JsonEscape(o.call) << "\",\"result\":" << o.result
             << ",\"passed\":" << (o.passed ? "true" : "false") << ",\"ms\":" << o.ms
             << ",\"output\":\"" << JsonEscape(o.output) << "\"}\n";
  }
  std::fflush(stdout);
  // The library stays loaded: plug-in threads may still be winding down.
  return failed ? 1 : 0;
}
