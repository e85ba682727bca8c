// qrx-run: a test host for libQRXInterface.so. Loads the library with dlopen as a host does
// and runs sequence files on N stations in parallel, one thread each, unit after unit. Units are
// recorded as every host's are: the library journals the stations and a collector thread turns
// the journals into unit records.
#include "english_texts.h"
#include "sequence_parser.h"
#include "step_diagnosis.h"
#include "station_unit.h"
#if QRX_RUN_WITH_COLLECTOR
#include "run_collector.h"
#endif
#if QRX_RUN_WITH_WEB
#include "web_line.h"
#endif

#include "../../sim/common/download_protocol.h"
#include "../common/ansi_text.h"
#include "../common/call_dispatcher.h"
#include "../common/sha256.h"
#ifdef QRX_RUN_WITH_STORE
#include "../store/store_factory.h"
#endif
#if QRX_RUN_WITH_CFX
#include "../cfx/cfx_options.h"
#include "../cfx/unit_validator.h"
#endif

#include <qrx/download_event.h>
#include <qrx/host_events.h>
#include <qrx/host_ui.h>
#include <qrx/log_service.h>

#include "platform/host_process.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace qrx::tools;
namespace store = qrx::store;
#if QRX_RUN_WITH_WEB
namespace web = qrx::web;
#endif

namespace {

std::mutex g_print;
bool g_quiet = false;
bool g_english = false;
thread_local int t_station = 0;
thread_local StationUnit *t_unit = nullptr; // the unit this station thread is testing
#if QRX_RUN_WITH_WEB
WebLine *g_web = nullptr;                        // the live page, with --web
#endif
#if QRX_RUN_WITH_COLLECTOR
RunCollector *g_collector = nullptr;             // records the units from the journals
#endif
#if QRX_RUN_WITH_CFX
const qrx::cfx::UnitValidator *g_validator = nullptr; // the MES's word before testing (--cfx-validate)
bool g_testWithoutAnswer = false;                    // --cfx-no-answer test
#endif

// The library's texts as the operator reads them: UTF-8, in English with --lang en.
std::string Shown(const std::string &ansi) {
  std::string text = AnsiText::ToUtf8(ansi);
  return g_english ? EnglishTexts::Translate(text) : text;
}

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
    std::string text = Shown(line);
    for (char &c : text)
      if (c == '\r' || c == '\n') c = ' ';
    Print(station_, (level == QRX_LOG_LEVEL_TEST_ITEM ? "  " : "  . ") + text);
  }

private:
  int station_;
};

// ---- structured test items: each arrives on its station's thread ----
#if QRX_RUN_WITH_WEB
std::optional<double> NumberOf(int32_t has, double value) {
  return has ? std::optional<double>(value) : std::nullopt;
}
#endif

// The journal has every item; the live page shows them as they come.
void OnTestItem(void *, const QRXTestItemEvent *e) {
#if QRX_RUN_WITH_WEB
  if (!g_web || !t_unit || !e) return;
  store::TestItemRecord item;
  item.source = e->source ? e->source : "";
  item.name = e->item ? e->item : "";
  item.value = e->value ? e->value : "";
  item.lower = e->lower ? e->lower : "";
  item.upper = e->upper ? e->upper : "";
  item.valueNumber = NumberOf(e->has_value_number, e->value_number);
  item.lowerNumber = NumberOf(e->has_lower_number, e->lower_number);
  item.upperNumber = NumberOf(e->has_upper_number, e->upper_number);
  item.verdict = e->verdict ? e->verdict : "";
  item.passed = e->passed != 0;
  item.tag = std::to_string(e->tag);
  item.monotonicNs = e->monotonic_ns;
  item.wallUs = e->wall_us;
  g_web->Monitor().TestItem(t_station, item);
#else
  (void)e;
#endif
}

// ---- download progress: the library relays the plug-in's reports to one callback ----
struct DownloadState {
  int job = 0;
  bool finished = false;
  bool success = false;
  int percent = 0;
  int reportedPercent = -1;
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
  bool report = true; // each start, bar step and end is printed once per download
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
    if (e.kind == 1) {
      d.percent = e.value1;
      report = e.value1 % 25 == 0 && e.value1 != d.reportedPercent;
      if (report) d.reportedPercent = e.value1;
    }
    if (e.kind == 3) {
      report = !d.finished;
      if (d.finished) return 0;
      d.finished = true;
      d.success = e.value5 == 1;
    }
  }
  g_downloadChanged.notify_all();
#if QRX_RUN_WITH_WEB
  if (g_web) {
    if (e.kind == 0) g_web->Monitor().DownloadProgress(station, 0);
    else if (e.kind == 1) g_web->Monitor().DownloadProgress(station, e.value1);
    else if (e.kind == 3 && report) g_web->Monitor().DownloadEnded(station, e.value5 == 1);
  }
#endif
  if (e.kind == 0) Print(station, "download job " + std::to_string(job) + " started (" + std::to_string(e.value1) + " KiB)");
  else if (e.kind == 1 && report) DrawBar(station, e.value1);
  else if (e.kind == 2) Print(station, "download verifying");
  else if (e.kind == 4) Print(station, "download error " + std::to_string(e.value2));
  else if (e.kind == 3 && report)
    Print(station, std::string("download ") + (e.value5 == 1 ? "finished" : "failed"));
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
    if (t_unit) t_unit->Prompted(AnsiText::ToUtf8(answer));
    return 1;
  }
#if QRX_RUN_WITH_WEB
  if (g_web) { // the page, and the terminal beside it unless --no-terminal: the first answer wins
    auto fits = [&](const std::string &ansi) { return matches(matcher, ansi.c_str()) == 1; };
    std::string where;
    Print(station, "prompt " + AnsiText::ToUtf8(p) + ": waiting for the barcode in the page" +
                       (g_useTerminal ? " or on the terminal" : ""));
    if (g_web->Ask(station, p, fits, size, &answer, &where) != 1) {
      Print(station, "prompt " + AnsiText::ToUtf8(p) + ": cancelled (" + where + ")");
      return 0;
    }
    std::memcpy(out, answer.c_str(), answer.size() + 1);
    Print(station, "prompt " + AnsiText::ToUtf8(p) + ": answered " + AnsiText::ToUtf8(answer) + " (" + where + ")");
    if (t_unit) t_unit->Prompted(AnsiText::ToUtf8(answer));
    return 1;
  }
#endif
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
      if (t_unit) t_unit->Prompted(AnsiText::ToUtf8(text));
      return 1;
    }
    std::fprintf(tty, "does not match %s\n", p.c_str());
  }
  std::fclose(tty);
  return 0;
}

void OnMessageBox(void *, const char *caption, const char *text) {
  Print(t_station, "MESSAGE " + Shown(caption ? caption : "") + ": " + Shown(text ? text : ""));
}

// ---- stations ----
struct RunOptions {
  bool continueOnFail = false;
  int units = 1;            // 0: until the operator quits
  bool loop = false;        // ask the operator before each next unit
  std::string deploymentDir; // ends with '/'
  std::string hostName;
};

struct StationPlan {
  int number = 0;
  int index = 0;
  std::string product;
  std::string config;
  const Sequence *sequence = nullptr;
  std::string sequenceHash;
};

struct StepOutcome {
  int line;
  std::string call;
  int result;
  bool passed;
  long long ms;
  std::string output;
  std::string why;       // for a failed step: the reason, for people
  std::string arguments; // as called, after substitution
  bool called = false;   // the export was called (a refused identity stops a step before)
};

struct UnitSummary {
  int number = 0;
  std::string serial;
  bool passed = false;
  std::string failingStep; // "file:line source -> result"
  std::string why;
};

// What a station's summary keeps, bounded however long the line runs: counts, the latest
// failed units and the last units.
struct StationReport {
  static constexpr size_t kLastUnits = 20, kFailuresKept = 200;
  int64_t steps = 0;
  int64_t units = 0, unitsPassed = 0;
  bool lastPassed = false;
  std::deque<UnitSummary> lastUnits, failures;
  int64_t failuresDropped = 0;
  void AddUnit(const UnitSummary &u) {
    ++units;
    unitsPassed += u.passed;
    lastPassed = u.passed;
    lastUnits.push_back(u);
    if (lastUnits.size() > kLastUnits) lastUnits.pop_front();
    if (!u.passed) {
      failures.push_back(u);
      if (failures.size() > kFailuresKept) {
        failures.pop_front();
        ++failuresDropped;
      }
    }
  }
  // The failures and the last units, in order, each once.
  std::vector<UnitSummary> Listed() const {
    std::map<int, UnitSummary> byNumber;
    for (const auto &u : failures) byNumber[u.number] = u;
    for (const auto &u : lastUnits) byNumber[u.number] = u;
    std::vector<UnitSummary> out;
    for (auto &[number, u] : byNumber) out.push_back(u);
    return out;
  }
  int passed = 0, failed = 0;
  double seconds = 0;
  bool initialised = false;
  int initResult = 0;
};

// The one place of qrx-run that talks to the dynamic loader.
struct Library {
  void *handle = nullptr;
  int (*init)(int, const char *, const char *) = nullptr;
  int (*cleanup)() = nullptr;
  // The unit boundaries and the id the journal records a unit under; null in a library
  // without them.
  int (*beginUnit)(const char *) = nullptr;
  int (*endUnit)(int) = nullptr;
  int (*unitId)(char *, int) = nullptr;
  void *Symbol(const std::string &name) const { return qrx::platform::host::FindSymbol(handle, name.c_str()); }
  // Whether the library has already loaded the test library file and it exports function.
  static StepDiagnosis::Presence Probe(const std::string &file, const std::string &function) {
    namespace host = qrx::platform::host;
    void *h = host::OpenLoadedLibrary(file);
    if (!h && !host::IsAbsolutePath(file)) h = host::OpenLoadedLibrary(host::CurrentDirectory() + file);
    if (!h) return StepDiagnosis::Presence::kLibraryNotLoaded;
    bool found = host::FindSymbol(h, function.c_str()) != nullptr;
    host::CloseLibrary(h);
    return found ? StepDiagnosis::Presence::kFound : StepDiagnosis::Presence::kFunctionMissing;
  }
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

std::string Quote(const std::string &text) { return "\"" + text + "\""; }

bool RunCall(const Library &lib, const StationPlan &plan, const RunOptions &options,
             StationObserver *observer, const SequenceStep &step, StationUnit *unit,
             StepOutcome *outcome) {
  const ExportRow &row = *step.row;
  void *symbol = lib.Symbol(row.name);
  if (!symbol) {
    outcome->output = outcome->why = "the library does not export " + row.name;
    return false;
  }
  const std::optional<IdentityUse> identity = ExportCatalogueView::IdentityOf(row);
  std::vector<CallArg> args(step.args.size());
  std::vector<std::string> texts(step.args.size());    // UTF-8, as the sequence means them
  std::vector<std::string> ansi(step.args.size());     // as handed to the library
  std::vector<std::vector<char>> buffers(step.args.size());
  std::vector<double> doubles(step.args.size(), -999.0);
  std::string written; // the identity a write export programs
  for (size_t i = 0; i < step.args.size(); ++i) {
    const SequenceArg &a = step.args[i];
    switch (a.type) {
    case ArgType::kInt: args[i].i = static_cast<int>(a.integer); break;
    case ArgType::kDouble: args[i].d = a.real; break;
    case ArgType::kText:
      if (!a.pool.empty()) {
        std::string error;
        if (!unit->PoolValue(a.pool, &texts[i], &error)) {
          outcome->output = outcome->why = "@" + a.pool + ": " + error;
          return false;
        }
      } else {
        texts[i] = SequenceParser::Expand(a.text, plan.number, plan.index);
      }
      if (written.empty()) written = texts[i];
      ansi[i] = AnsiText::FromUtf8(texts[i]);
      args[i].p = ansi[i].data();
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
  if (identity && identity->write && !written.empty()) {
    std::string error;
    if (!unit->MayWrite(identity->kind, written, &error)) {
      outcome->output = outcome->why = "refused to program " + identity->kind + " " + written + ": " + error;
      return false;
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
    outcome->output = outcome->why = "no call signature for " + row.name;
    return false;
  }
  if (download) startHold.unlock();
  outcome->result = result;
  outcome->called = true;
  bool passed = step.expect == SequenceStep::Expect::kAny ||
                (step.expect == SequenceStep::Expect::kEqual ? result == step.expected
                                                             : result != step.expected);
  if (!passed)
    outcome->why = StepDiagnosis::Explain(row, result, plan.product, options.deploymentDir, &Library::Probe);
  std::string read; // the identity a read export returned
  bool haveRead = false;
  for (size_t i = 0; i < step.args.size(); ++i) {
    const SequenceArg &a = step.args[i];
    std::string shown;
    switch (a.type) {
    case ArgType::kInt: shown = std::to_string(a.integer); break;
    case ArgType::kDouble: {
      std::ostringstream number;
      number << a.real;
      shown = number.str();
      break;
    }
    case ArgType::kText: shown = Quote(texts[i]); break;
    case ArgType::kCallback: shown = a.isNull ? "null" : "progress"; break;
    case ArgType::kObserver: shown = a.isNull ? "null" : "observer"; break;
    case ArgType::kDoubleOut:
      shown = "out";
      if (doubles[i] != -999.0) {
        char text[64];
        std::snprintf(text, sizeof text, "out=%.3f", doubles[i]);
        outcome->output += (outcome->output.empty() ? "" : " ") + std::string(text);
        shown = text;
      }
      break;
    case ArgType::kTextBuffer: {
      buffers[i].back() = '\0';
      std::string got = AnsiText::ToUtf8(buffers[i].data());
      if (!haveRead) read = got, haveRead = true;
      shown = "out=" + Quote(got);
      outcome->output += (outcome->output.empty() ? "" : " ") + ("out=\"" + got + "\"");
      if (!a.expectText) break;
      std::string expected;
      if (!a.pool.empty()) {
        if (!unit->ReservedValue(a.pool, &expected)) {
          passed = false;
          outcome->output += " (no @" + a.pool + " was used in this unit before)";
          if (outcome->why.empty()) outcome->why = "no @" + a.pool + " was used in this unit before the read-back";
          break;
        }
      } else {
        expected = SequenceParser::Expand(a.text, plan.number, plan.index);
      }
      if (got != expected) {
        passed = false;
        outcome->output += " (expected \"" + expected + "\")";
        if (outcome->why.empty()) outcome->why = "read \"" + got + "\", expected \"" + expected + "\"";
      }
      break;
    }
    }
    outcome->arguments += (i ? ", " : "") + shown;
  }
  if (identity) {
    std::string error;
    const std::string &value = identity->write ? written : read;
    if (!unit->Identity(identity->kind, identity->write, value, result, &error)) {
      passed = false;
      outcome->output += " (the identity store: " + error + ")";
      if (outcome->why.empty()) outcome->why = "the identity store could not record " + identity->kind + " " + value + ": " + error;
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
  *output = "job " + std::to_string(d.job) + (d.success ? " succeeded" : " failed");
  return d.success;
}

// The operator decides after each verdict whether the next unit is tested (standard input:
// an empty line or "n" goes on, "q" or the end of input quits).
// Stations waiting for the operator take turns at the input; the others go on printing.
std::mutex g_operator;

bool OperatorWantsNext(int station, int unit, bool passed) {
  std::lock_guard<std::mutex> turn(g_operator);
  Print(station, "unit " + std::to_string(unit) + (passed ? " PASS" : " FAIL") +
                     ". Enter: next unit, q: quit");
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' ')) answer.pop_back();
  return answer != "q" && answer != "Q" && answer != "quit";
}

#if QRX_RUN_WITH_WEB
// What a call's line passes, as the page shows it beside the export: "1, 62, 5".
std::string ArgumentsOf(const std::string &source) {
  size_t open = source.find('('), close = source.rfind(')');
  return open == std::string::npos || close == std::string::npos || close <= open
             ? std::string()
             : source.substr(open + 1, close - open - 1);
}
#endif

std::string StepPlace(const StationPlan &plan, const SequenceStep &step) {
  return plan.sequence->path + ":" + std::to_string(step.line) + " " + step.source;
}

#if QRX_RUN_WITH_CFX
// The serial number the station's next barcode prompt will be answered with (--serial), for
// asking the MES before the prompt's step runs.
std::string NextGivenSerial(int station) {
  std::lock_guard<std::mutex> hold(g_answerLock);
  for (int key : {station, 0}) {
    auto it = g_answers.find(key);
    if (it != g_answers.end() && !it->second.empty())
      return SequenceParser::Expand(it->second.front(), station, station - 1);
  }
  return std::string();
}

// Asks the MES about the unit's serial number, recorded as the unit's step "@cfx-validate":
// false when the unit must not be tested (rejected, or no usable answer and --cfx-no-answer
// refuse).
bool MesAllowsTesting(const StationPlan &plan, const std::string &serial, StationUnit *unit,
                      int stepIndex, StationReport *report, UnitSummary *summary) {
  using Kind = qrx::cfx::ValidationAnswer::Kind;
  const std::string stepName = "@cfx-validate";
  (void)stepIndex; // the page's, where there is one
#if QRX_RUN_WITH_WEB
  if (g_web) g_web->Monitor().StepStarted(plan.number, stepIndex, stepName, serial);
#endif
  const qrx::cfx::ValidationAnswer answer = g_validator->Validate(serial);
  const bool rejected = answer.kind == Kind::Rejected;
  const bool accepted = answer.kind == Kind::Accepted;
  const bool goOn = accepted || (!rejected && g_testWithoutAnswer);
  std::string output;
  if (accepted) output = "the MES " + g_validator->Responder() + " accepts SN " + serial;
  else if (goOn) output = answer.message + ": tested without the MES's word (--cfx-no-answer test)";
  else output = answer.message + (rejected ? "" : " (--cfx-no-answer refuse)") + ": the unit is not tested";
  if (!goOn && unit->Serial().empty()) unit->Prompted(serial);
#if QRX_RUN_WITH_WEB
  if (g_web) g_web->Monitor().StepEnded(plan.number, stepIndex, stepName, 0, goOn);
#endif
  Print(plan.number, std::string(goOn ? "ok  " : "FAIL") + " " + stepName + " SN " + serial + "  " + output);
  (goOn ? report->passed : report->failed)++;
  ++report->steps;
  if (!goOn && summary->failingStep.empty()) {
    summary->failingStep = stepName + " SN " + serial;
    summary->why = output;
  }
  return goOn;
}
#endif

// Runs one unit: the whole sequence, or up to its first failing step. The journal records it
// under the id the library gives it; qrx-run tells the library where it begins and ends and
// whether it passed.
void RunUnit(const Library &lib, const StationPlan &plan, const RunOptions &options,
             StationObserver *observer, StationUnit *unit, int number, StationReport *report) {
  std::string unitId;
  if (lib.beginUnit && lib.unitId) {
    char id[64];
    lib.beginUnit("");
    if (lib.unitId(id, sizeof id) == 0) unitId = id;
  }
  unit->Begin(unitId, "");
  t_unit = unit;
#if QRX_RUN_WITH_WEB
  if (g_web) g_web->Monitor().UnitStarted(plan.number, unit->Id(), unit->Serial());
#endif
  std::string serialShown = unit->Serial();
  int steps = 0; // the page's step indexes
  UnitSummary summary;
  summary.number = number;
#if QRX_RUN_WITH_CFX
  bool validated = g_validator == nullptr;
#endif
  for (const SequenceStep &step : plan.sequence->steps) {
#if QRX_RUN_WITH_CFX
    // The MES is asked once the serial number is known: before the first step when the
    // barcode answer is given, else right after the step that reads or asks for it.
    if (!validated) {
      std::string serial = unit->Serial();
      if (serial.empty() && steps == 0) serial = NextGivenSerial(plan.number);
      if (!serial.empty()) {
        validated = true;
        if (!MesAllowsTesting(plan, serial, unit, steps++, report, &summary)) break;
      }
    }
#endif
    auto t0 = std::chrono::steady_clock::now();
    StepOutcome outcome{step.line, step.source, 0, true, 0, "", "", ""};
    [[maybe_unused]] int stepIndex = -1; // what the live page shows
    std::string stepName;
    switch (step.kind) {
    case SequenceStep::Kind::kEcho:
      Print(plan.number, SequenceParser::Expand(step.text, plan.number, plan.index));
      continue;
    case SequenceStep::Kind::kSleep:
      std::this_thread::sleep_for(std::chrono::milliseconds(step.number));
      continue;
    case SequenceStep::Kind::kWaitDownload: {
      stepName = "@wait-download";
      stepIndex = steps++;
#if QRX_RUN_WITH_WEB
      if (g_web) g_web->Monitor().StepStarted(plan.number, stepIndex, stepName, std::to_string(step.number) + " s");
#endif
      outcome.passed = WaitDownload(plan.number, step.number, &outcome.output);
      outcome.arguments = std::to_string(step.number);
      if (!outcome.passed) outcome.why = outcome.output;
      break;
    }
    case SequenceStep::Kind::kCall:
      stepName = step.row->name;
      stepIndex = steps++;
#if QRX_RUN_WITH_WEB
      if (g_web) g_web->Monitor().StepStarted(plan.number, stepIndex, stepName, ArgumentsOf(step.source));
#endif
      outcome.passed = RunCall(lib, plan, options, observer, step, unit, &outcome);
      break;
    }
    outcome.ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now() - t0).count();
#if QRX_RUN_WITH_WEB
    if (g_web) {
      g_web->Monitor().StepEnded(plan.number, stepIndex, stepName, outcome.result, outcome.passed);
      if (unit->Serial() != serialShown) {
        serialShown = unit->Serial();
        g_web->Monitor().SerialNumberKnown(plan.number, serialShown);
      }
    }
#endif
    std::string verdict = outcome.passed ? "ok  " : "FAIL";
    std::string text = verdict + " " + StepPlace(plan, step);
    if (outcome.called) text += "  -> " + std::to_string(outcome.result);
    if (!outcome.output.empty()) text += "  " + outcome.output;
    Print(plan.number, text);
    (outcome.passed ? report->passed : report->failed)++;
    ++report->steps;
    if (!outcome.passed && summary.failingStep.empty()) {
      summary.failingStep = StepPlace(plan, step) +
                            (outcome.called ? " -> " + std::to_string(outcome.result) : "");
      summary.why = outcome.why;
      if (!options.continueOnFail) {
        Print(plan.number, "unit stopped at its first failing step (--continue-on-fail goes on)");
        break;
      }
    }
  }
  summary.serial = unit->Serial();
  summary.passed = summary.failingStep.empty();
  t_unit = nullptr;
#if QRX_RUN_WITH_COLLECTOR
  // Awaited before the library ends the unit, so that the collector cannot miss it.
  if (g_collector && !unitId.empty()) g_collector->UnitEnded(unitId);
#endif
  if (lib.endUnit) lib.endUnit(summary.passed ? 0 : 1);
  unit->End(summary.passed);
#if QRX_RUN_WITH_WEB
  if (g_web) {
    // The page's tile and counters; the record itself is the collector's.
    store::UnitRecord ended;
    ended.unitId = unit->Id();
    ended.serialNumber = summary.serial;
    ended.verdict = summary.passed ? store::UnitVerdict::Pass : store::UnitVerdict::Fail;
    ended.failureReason = summary.passed ? "" : summary.failingStep + ": " + summary.why;
    ended.endedUs = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::system_clock::now().time_since_epoch()).count();
    g_web->Monitor().UnitEnded(plan.number, ended);
  }
#endif
  Print(plan.number, "unit " + std::to_string(number) + " " + (summary.passed ? "PASS" : "FAIL") +
                         (summary.serial.empty() ? "" : " SN " + summary.serial) + " (" + unit->Id() + ")");
  report->AddUnit(summary);
}

void RunStation(const Library &lib, const StationPlan &plan, const RunOptions &options,
                store::IdentitySource *ids, Turns *turns, StationReport *report) {
  t_station = plan.number;
#if QRX_RUN_WITH_WEB
  web::SerialPromptBridge::SetThreadStation(plan.number);
#endif
  StationObserver observer(plan.number);
#if QRX_RUN_WITH_COLLECTOR
  StationUnit unit(ids, [] { return g_collector ? g_collector->Problem() : std::string(); });
#else
  StationUnit unit(ids, {});
#endif
  auto start = std::chrono::steady_clock::now();
  turns->WaitTurn(0, plan.number);
  int init = lib.init(plan.index, plan.config.c_str(), plan.product.c_str());
  report->initialised = init == 0;
  report->initResult = init;
  auto *reg = reinterpret_cast<int (*)(ILogObserver *)>(lib.Symbol("RegisterObserver"));
  if (report->initialised && reg) reg(&observer);
  Print(plan.number, "InitQRXInterface(" + std::to_string(plan.index) + ", \"" + plan.config +
                         "\", \"" + plan.product + "\") = " + std::to_string(init));
#if QRX_RUN_WITH_WEB
  if (g_web) {
    if (report->initialised) g_web->Monitor().StationStarted(plan.number, plan.product, plan.config);
    else g_web->Monitor().StationEnded(plan.number, "InitQRXInterface returned " + std::to_string(init) +
                                                        ": the station could not start");
  }
#endif
  turns->Done();
  turns->WaitPhase(1);
  if (!report->initialised) {
    report->failed = 1;
    report->steps = 1;
  } else {
    for (int number = 1;; ++number) {
      RunUnit(lib, plan, options, &observer, &unit, number, report);
      if (options.units > 0 && number >= options.units) break;
      if (options.loop && !OperatorWantsNext(plan.number, number, report->lastPassed)) break;
    }
  }
#if QRX_RUN_WITH_WEB
  if (g_web && report->initialised) {
    g_web->Monitor().StationEnded(plan.number, std::to_string(report->units) + " unit(s), " +
                                                   std::to_string(report->unitsPassed) + " passed");
  }
#endif
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

// The machine's name for the unit records, from the environment or the system's files.
std::string HostName() {
  for (const char *name : {"QRX_HOST_NAME", "HOSTNAME", "COMPUTERNAME"})
    if (const char *value = std::getenv(name); value && *value) return value;
  for (const char *file : {"/proc/sys/kernel/hostname", "/etc/hostname"}) {
    std::ifstream in(file);
    std::string line;
    if (in && std::getline(in, line) && !line.empty()) return line;
  }
  return "unknown";
}

#if QRX_RUN_WITH_WEB
// Ctrl-C or a stop request while the page lingers after the line.
volatile std::sig_atomic_t g_stopLinger = 0;
volatile std::sig_atomic_t g_stationsDone = 0;
// Before the stations are done a stop ends qrx-run as it always did; afterwards it ends the
// lingering page and lets the units still being recorded reach the store.
void StopLinger(int signal) {
  if (!g_stationsDone) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  g_stopLinger = 1;
}
#endif

std::string FileSha256(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return Sha256::Hex(bytes.str());
}

#if QRX_RUN_WITH_COLLECTOR
// qrx-run records every unit, so its deployment keeps a journal: a deployment without
// BusinessCfg/Recording.xml gets one with the defaults, said once. False when it cannot be
// written.
bool TurnRecordingOn(const std::string &deploymentDir) {
  std::string folder, error;
  if (qrx::collector::DeploymentJournals::JournalFolder(deploymentDir, &folder, &error)) return true;
  namespace fs = std::filesystem;
  const fs::path file = fs::path(deploymentDir) / "BusinessCfg" / "Recording.xml";
  const fs::path temporary = fs::path(file).concat(".new");
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << RunCollector::DefaultRecordingXml();
    if (!out.flush()) {
      std::fprintf(stderr, "qrx-run: the units cannot be recorded: %s cannot be written\n",
                   temporary.string().c_str());
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temporary, file, ec);
  if (ec) {
    fs::remove(temporary, ec);
    std::fprintf(stderr, "qrx-run: the units cannot be recorded: %s cannot be written\n",
                 file.string().c_str());
    return false;
  }
  Print(0, "recording turned on for this deployment: " + file.string() +
               " written (the stations keep a journal in Journal/)");
  return true;
}
#endif

} // namespace

int main(int argc, char **argv) {
  std::string stationDir, jsonPath, dbUrl, lang, webAddress, webToken;
  int storeWaitSeconds = 15;
  int webLinger = 0;
  int stations = 1, firstIndex = 0, units = 0;
  bool checkOnly = false, noTerminal = false;
  RunOptions options;
  std::vector<std::string> productArgs, configArgs, serialArgs, sequenceArgs;

  CLI::App app{"qrx-run: runs sequence files on simulated or real stations, one thread each"};
  app.add_option("--station", stationDir,
                 "deployment directory (default: the station folder beside qrx-run)");
  app.add_option("--stations", stations, "number of stations, one thread each (default 1)")
      ->check(CLI::Range(1, 64));
  app.add_option("--product", productArgs,
                 "[S=]TYPE: QRX or UFI (default: the sequence's @product, else QRX)")
      ->allow_extra_args(false)->take_all();
  app.add_option("--config", configArgs,
                 "[S=]FILE: business-configuration file in BusinessCfg (default: the "
                 "sequence's @config, else <product>_Station.xml); it must exist")
      ->allow_extra_args(false)->take_all();
  app.add_option("--first-index", firstIndex, "thread index of station 1 (default 0)");
  app.add_option("--serial", serialArgs,
                 "[S=]TEXT: answer to the operator's barcode prompt (repeatable; the last "
                 "answer keeps answering)")
      ->allow_extra_args(false)->take_all();
  app.add_flag("--no-terminal", noTerminal,
               "never ask on the terminal; unanswered prompts are cancelled");
  app.add_option("--json", jsonPath, "append every unit's whole record to FILE as one JSON line");
  app.add_option("--db", dbUrl,
                 "results store and identity pools: postgresql://... (default: "
                 "Results/results.db in the deployment directory)");
  app.add_option("--store-wait", storeWaitSeconds,
                 "seconds an identity waits for a PostgreSQL store that was reached and went "
                 "away (a restart) before its step fails (default 15)")
      ->check(CLI::Range(0, 3600));
  app.add_option("--units", units,
                 "units to test one after the other on each station (default 1; with --loop, "
                 "until the operator quits)")
      ->check(CLI::Range(1, 1000000));
  app.add_flag("--loop", options.loop,
               "after each unit's verdict ask the operator (standard input) for the next one");
  app.add_flag("--continue-on-fail", options.continueOnFail,
               "run a unit's remaining steps after a failing step (default: the unit stops, "
               "so a failing unit is never programmed)");
  auto *webOption = app.add_option(
      "--web", webAddress,
      "ADDRESS:PORT: serve the line's live page there, with the barcode prompts in it (e.g. "
      "127.0.0.1:8080; port 0: a free port; the URL is printed)");
  app.add_option("--web-token", webToken,
                 "TOKEN: what the page must present; required for a non-loopback --web address "
                 "(also from QRX_WEB_TOKEN)")
      ->needs(webOption);
  app.add_option("--web-linger", webLinger,
                 "SECONDS: keep the page up this long after the line ended (default 0: stop "
                 "with the line; Ctrl-C stops it sooner)")
      ->check(CLI::Range(0, 31 * 24 * 3600))->needs(webOption);
  app.add_option("--lang", lang, "en: the library's fixed Chinese texts in English")
      ->check(CLI::IsMember({"en", "zh"}));
#if QRX_RUN_WITH_CFX
  std::string validateUrl, cfxHandle, noAnswer = "refuse";
  int validateSeconds = 10;
  auto *validateOption = app.add_option(
      "--cfx-validate", validateUrl,
      "amqp://HOST:PORT/MES-HANDLE: before testing a unit ask the MES's CFX endpoint "
      "(ValidateUnitsRequest) whether its serial number may be tested; a rejected unit is not");
  app.add_option("--cfx-handle", cfxHandle, "the station's CFX handle (default QRX.<deployment>.<machine>)");
  app.add_option("--cfx-validate-timeout", validateSeconds, "SECONDS to wait for the MES's answer (default 10)")
      ->check(CLI::Range(1, 300))->needs(validateOption);
  app.add_option("--cfx-no-answer", noAnswer,
                 "refuse (default): a unit without the MES's answer in time is not tested; test: "
                 "it is tested, its record saying so")
      ->check(CLI::IsMember({"refuse", "test"}))->needs(validateOption);
#endif
  app.add_flag("--quiet", g_quiet, "do not print the library's log lines");
  app.add_flag("--check", checkOnly, "only check the sequences");
  app.set_version_flag("--version", std::string("qrx-run ") + QRX_VERSION);
  app.add_option("sequences", sequenceArgs, "SEQUENCE for every station, S=SEQUENCE for station S")
      ->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &) {
    std::printf("%s", app.help().c_str());
    return 0;
  } catch (const CLI::ParseError &e) {
    std::fprintf(stderr, "qrx-run: %s\n%s", e.what(), app.help().c_str());
    return 2;
  }
  g_useTerminal = !noTerminal;
  g_english = lang == "en";
  options.units = units > 0 ? units : options.loop ? 0 : 1;

  std::map<int, std::string> products, configs, sequencePaths;
  auto perStation = [](const std::vector<std::string> &given, const char *option,
                       const std::function<void(int, const std::string &)> &take) {
    for (const std::string &v : given) {
      int s = 0;
      std::string value;
      if (!SplitStation(v, &s, &value)) {
        std::fprintf(stderr, "qrx-run: bad station in %s %s\n", option, v.c_str());
        return false;
      }
      take(s, value);
    }
    return true;
  };
  if (!perStation(productArgs, "--product", [&](int s, const std::string &v) { products[s] = v; }) ||
      !perStation(configArgs, "--config", [&](int s, const std::string &v) { configs[s] = v; }) ||
      !perStation(serialArgs, "--serial", [&](int s, const std::string &v) { g_answers[s].push_back(v); }) ||
      !perStation(sequenceArgs, "SEQUENCE", [&](int s, const std::string &v) { sequencePaths[s] = v; }))
    return 2;

  // Every sequence is checked completely before anything runs.
  std::map<std::string, Sequence> parsed;
  std::map<std::string, std::string> hashes;
  for (const auto &[s, path] : sequencePaths) {
    if (parsed.count(path)) continue;
    std::string error;
    auto sequence = SequenceParser::ParseFile(path, &error);
    if (!sequence) {
      std::fprintf(stderr, "qrx-run: %s\n", error.c_str());
      return 2;
    }
    parsed[path] = std::move(*sequence);
    hashes[path] = FileSha256(path);
  }
  std::vector<StationPlan> plans;
  for (int n = 1; n <= stations; ++n) {
    StationPlan plan;
    plan.number = n;
    plan.index = firstIndex + n - 1;
    auto seq = sequencePaths.count(n) ? sequencePaths[n] : sequencePaths.count(0) ? sequencePaths[0] : "";
    if (seq.empty()) { std::fprintf(stderr, "qrx-run: no sequence for station %d\n", n); return 2; }
    plan.sequence = &parsed[seq];
    plan.sequenceHash = hashes[seq];
    plan.product = products.count(n) ? products[n] : products.count(0) ? products[0]
                 : !plan.sequence->product.empty() ? plan.sequence->product : "QRX";
    plan.config = configs.count(n) ? configs[n] : configs.count(0) ? configs[0]
                : !plan.sequence->config.empty() ? plan.sequence->config : plan.product + "_Station.xml";
    plans.push_back(plan);
  }
#if !QRX_RUN_WITH_WEB
  if (!webAddress.empty()) {
    std::fprintf(stderr, "qrx-run: this qrx-run was built without the live page; --web cannot be used\n");
    return 2;
  }
#else
  WebLine::Options webOptions;
  if (!webAddress.empty()) {
    // From the environment, the token stays out of the process list.
    if (const char *fromEnv = std::getenv("QRX_WEB_TOKEN"); webToken.empty() && fromEnv) webToken = fromEnv;
    std::string error;
    if (!WebLine::ParseAddress(webAddress, &webOptions.address, &webOptions.port, &error)) {
      std::fprintf(stderr, "qrx-run: %s\n", error.c_str());
      return 2;
    }
    if (!web::LineMonitor::IsLoopback(webOptions.address) && webToken.empty()) {
      std::fprintf(stderr,
                   "qrx-run: --web %s: other machines could watch the line and answer its prompts; "
                   "give --web-token TOKEN (or QRX_WEB_TOKEN), or serve on 127.0.0.1\n",
                   webAddress.c_str());
      return 2;
    }
  }
#endif
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
  options.deploymentDir = qrx::platform::host::CurrentDirectory();
  options.hostName = HostName();
#if QRX_RUN_WITH_CFX
  std::unique_ptr<qrx::cfx::UnitValidator> validator;
  if (!validateUrl.empty()) {
    qrx::cfx::AmqpUrl url;
    std::string error;
    if (!qrx::cfx::AmqpUrl::Parse(validateUrl, &url, &error) || url.path.size() < 2) {
      std::fprintf(stderr, "qrx-run: --cfx-validate %s\n", error.empty()
                   ? (validateUrl + ": the path must be the MES's CFX handle, e.g. amqp://mes:5672/Acme.MES").c_str()
                   : error.c_str());
      return 2;
    }
    std::string deployment = std::filesystem::path(options.deploymentDir).parent_path().filename().string();
    if (cfxHandle.empty()) cfxHandle = qrx::cfx::DefaultHandle(options.hostName, deployment);
    validator = std::make_unique<qrx::cfx::UnitValidator>(url, cfxHandle, std::chrono::seconds(validateSeconds));
    g_validator = validator.get();
    g_testWithoutAnswer = noAnswer == "test";
  }
#endif
  // InitQRXInterface would create a missing business-configuration file with nothing in it,
  // and the station would test against empty settings: a typo must stop the run instead.
  for (const StationPlan &plan : plans) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(options.deploymentDir + "BusinessCfg/" + plan.config, ec)) {
      std::fprintf(stderr,
                   "qrx-run: station %d: the business-configuration file BusinessCfg/%s does not "
                   "exist in %s (InitQRXInterface would create an empty one); check --config or "
                   "the sequence's @config\n",
                   plan.number, plan.config.c_str(), options.deploymentDir.c_str());
      return 2;
    }
  }

  // Where the units go: the library journals every station, and the collector thread records
  // the journals' units in the results store (and --json). The identity pools answer the
  // stations directly.
  std::unique_ptr<store::IdentitySource> ids;
#if QRX_RUN_WITH_COLLECTOR
  if (!TurnRecordingOn(options.deploymentDir)) return 2;
  RunCollector collector;
  {
    std::string error;
    if (!collector.Start({options.deploymentDir, dbUrl, jsonPath}, &error)) {
      std::fprintf(stderr, "qrx-run: cannot record the units: %s\n", error.c_str());
      return 2;
    }
    ids = store::OpenIdentitySource(dbUrl, options.deploymentDir, &error,
                                    std::chrono::seconds(storeWaitSeconds));
    if (!ids) {
      std::fprintf(stderr, "qrx-run: cannot open the identity pools: %s\n", error.c_str());
      return 2;
    }
    g_collector = &collector;
  }
#else
  if (!dbUrl.empty() || !jsonPath.empty()) {
    std::fprintf(stderr, "qrx-run: this qrx-run was built without a results store; --db and --json cannot be used\n");
    return 2;
  }
#endif

  const std::string &station = options.deploymentDir;
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
  lib.beginUnit = reinterpret_cast<int (*)(const char *)>(lib.Symbol("QRX_BeginUnit"));
  lib.endUnit = reinterpret_cast<int (*)(int)>(lib.Symbol("QRX_EndUnit"));
  lib.unitId = reinterpret_cast<int (*)(char *, int)>(lib.Symbol("QRX_GetUnitId"));
  auto setPrompt = reinterpret_cast<int (*)(QRXSerialPromptFn, void *)>(lib.Symbol("QRX_SetSerialPromptHandler"));
  auto setBox = reinterpret_cast<int (*)(QRXMessageBoxFn, void *)>(lib.Symbol("QRX_SetMessageBoxHandler"));
  auto setItems = reinterpret_cast<int (*)(QRXTestItemFn, void *)>(lib.Symbol("QRX_SetTestItemHandler"));
  if (!lib.init || !lib.cleanup) {
    std::fprintf(stderr, "qrx-run: %s lacks InitQRXInterface/CleanUpQRXInterface\n", libPath.c_str());
    return 2;
  }
#if QRX_RUN_WITH_WEB
  std::unique_ptr<WebLine> webLine;
  if (!webAddress.empty()) {
    webOptions.token = webToken;
    webOptions.terminal = g_useTerminal;
    webOptions.title = "QRX line on " + options.hostName;
    webOptions.toUtf8 = [](const std::string &s) { return AnsiText::ToUtf8(s); };
    webOptions.fromUtf8 = [](const std::string &s) { return AnsiText::FromUtf8(s); };
    webLine = std::make_unique<WebLine>(webOptions);
    std::string error;
    if (!webLine->Start(&error)) {
      std::fprintf(stderr, "qrx-run: --web %s: %s\n", webAddress.c_str(), error.c_str());
      return 2;
    }
    g_web = webLine.get();
    Print(0, "live page: " + webLine->Url());
  }
#endif
  if (setPrompt) setPrompt(&OnSerialPrompt, nullptr);
  if (setBox) setBox(&OnMessageBox, nullptr);
  if (setItems) setItems(&OnTestItem, nullptr);
  else Print(0, "note: this libQRXInterface.so hands out no test items; unit records hold none");

#if QRX_RUN_WITH_WEB
  if (webLine && webLinger > 0) {
    std::signal(SIGINT, StopLinger);
    std::signal(SIGTERM, StopLinger);
  }
#endif
  Turns turns(stations);
  std::vector<StationReport> reports(plans.size());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < plans.size(); ++i)
    threads.emplace_back(RunStation, std::cref(lib), std::cref(plans[i]), std::cref(options),
                         ids.get(), &turns, &reports[i]);
  for (auto &t : threads) t.join();
  if (setItems) setItems(nullptr, nullptr);
#if QRX_RUN_WITH_WEB
  g_stationsDone = 1;
#endif

  int failed = 0;
#if QRX_RUN_WITH_COLLECTOR
  // Every unit ended is recorded before qrx-run ends; a store that stays away leaves them in
  // the journal, where qrx-collector (or the next qrx-run) finds them.
  const size_t unrecorded = collector.Finish(std::chrono::seconds(storeWaitSeconds + 15));
  g_collector = nullptr;
  if (unrecorded) {
    std::string why = collector.Problem();
    if (why.empty()) why = "their journal lines were not read in time";
    std::fprintf(stderr, "qrx-run: %zu unit(s) not recorded yet: %s; they stay in the journal for "
                 "qrx-collector\n", unrecorded, why.c_str());
    ++failed;
  }
#endif
  std::printf("\n%-8s %-8s %-28s %6s %6s %7s %7s %8s\n", "station", "product", "sequence", "units", "steps",
              "passed", "failed", "time");
  for (size_t i = 0; i < plans.size(); ++i) {
    const StationReport &r = reports[i];
    std::string name = plans[i].sequence->path;
    if (name.size() > 28) name = "..." + name.substr(name.size() - 25);
    std::printf("S%-7d %-8s %-28s %6lld %6lld %7d %7d %7.2fs\n", plans[i].number, plans[i].product.c_str(),
                name.c_str(), static_cast<long long>(r.units), static_cast<long long>(r.steps), r.passed,
                r.failed, r.seconds);
    failed += r.failed;
  }
  std::printf("\n");
  for (size_t i = 0; i < plans.size(); ++i) {
    const StationReport &r = reports[i];
    if (!r.initialised)
      std::printf("S%-3d InitQRXInterface returned %d: the station could not start\n", plans[i].number,
                  r.initResult);
    const std::vector<UnitSummary> listed = r.Listed();
    if (r.units > static_cast<int64_t>(listed.size()))
      std::printf("S%-3d %lld earlier passed unit(s)%s not listed; the results store has every unit\n",
                  plans[i].number, static_cast<long long>(r.units - static_cast<int64_t>(listed.size()) - r.failuresDropped),
                  r.failuresDropped ? (" and " + std::to_string(r.failuresDropped) + " earlier failed unit(s)").c_str() : "");
    for (const UnitSummary &u : listed) {
      std::string line = "S" + std::to_string(plans[i].number);
      line.resize(5, ' ');
      line += "unit " + std::to_string(u.number);
      line.resize(std::max<size_t>(line.size() + 1, 14), ' ');
      line += std::string(u.passed ? "PASS" : "FAIL") + " SN " + (u.serial.empty() ? "-" : u.serial);
      if (!u.passed) {
        line.resize(std::max<size_t>(line.size() + 1, 43), ' ');
        line += u.failingStep + "  [" + u.why + "]";
      }
      std::printf("%s\n", line.c_str());
    }
  }
  std::printf("%s\n", failed ? "RESULT: FAIL" : "RESULT: PASS");
  std::fflush(stdout);
  // The library stays loaded: plug-in threads may still be winding down.
  ids.reset();
#if QRX_RUN_WITH_WEB
  if (webLine) {
    if (webLinger > 0) {
      Print(0, "the live page stays up for " + std::to_string(webLinger) + " s (Ctrl-C stops it): " +
                   webLine->Url());
      auto until = std::chrono::steady_clock::now() + std::chrono::seconds(webLinger);
      while (!g_stopLinger && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    webLine->Stop();
    // A plug-in thread still winding down may report progress late: the stopped page stays
    // until the process ends, as the library does.
    webLine.release();
  }
#endif
  return failed ? 1 : 0;
}
