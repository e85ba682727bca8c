#include "station_runner.h"

#include "download_watch.h"
#include "host_callbacks.h"
#include "run_console.h"
#include "run_line.h"
#include "station_unit.h"
#if QRX_RUN_WITH_COLLECTOR
#include "run_collector.h"
#endif
#if QRX_RUN_WITH_WEB
#include "web_line.h"
#endif
#if QRX_RUN_WITH_CFX
#include "../cfx/unit_validator.h"
#endif

#include "../common/ansi_text.h"
#include "../common/call_dispatcher.h"
#include "../common/export_catalogue_view.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

namespace qrx::tools {
#if QRX_RUN_WITH_WEB
namespace web = qrx::web;
#endif
namespace {

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

std::string Quote(const std::string &text) { return "\"" + text + "\""; }

bool RunCall(const InterfaceLibrary &lib, const StationPlan &plan, const RunOptions &options,
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
  std::unique_lock<std::mutex> startHold;
  if (download) startHold = HoldDownloadStart(plan.number);
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
    outcome->why = StepDiagnosis::Explain(row, result, plan.product, options.deploymentDir, &InterfaceLibrary::Probe);
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
// Asks the MES about the unit's serial number, recorded as the unit's step "@cfx-validate":
// false when the unit must not be tested (rejected, or no usable answer and --cfx-no-answer
// refuse).
bool MesAllowsTesting(const StationPlan &plan, const std::string &serial, StationUnit *unit,
                      int stepIndex, StationReport *report, UnitSummary *summary) {
  using Kind = qrx::cfx::ValidationAnswer::Kind;
  const std::string stepName = "@cfx-validate";
  (void)stepIndex; // the page's, where there is one
#if QRX_RUN_WITH_WEB
  if (Line().web) Line().web->Monitor().StepStarted(plan.number, stepIndex, stepName, serial);
#endif
  const qrx::cfx::ValidationAnswer answer = Line().validator->Validate(serial);
  const bool rejected = answer.kind == Kind::Rejected;
  const bool accepted = answer.kind == Kind::Accepted;
  const bool goOn = accepted || (!rejected && Line().testWithoutAnswer);
  std::string output;
  if (accepted) output = "the MES " + Line().validator->Responder() + " accepts SN " + serial;
  else if (goOn) output = answer.message + ": tested without the MES's word (--cfx-no-answer test)";
  else output = answer.message + (rejected ? "" : " (--cfx-no-answer refuse)") + ": the unit is not tested";
  if (!goOn && unit->Serial().empty()) unit->Prompted(serial);
#if QRX_RUN_WITH_WEB
  if (Line().web) Line().web->Monitor().StepEnded(plan.number, stepIndex, stepName, 0, goOn);
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
void RunUnit(const InterfaceLibrary &lib, const StationPlan &plan, const RunOptions &options,
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
  if (Line().web) Line().web->Monitor().UnitStarted(plan.number, unit->Id(), unit->Serial());
#endif
  std::string serialShown = unit->Serial();
  int steps = 0; // the page's step indexes
  UnitSummary summary;
  summary.number = number;
#if QRX_RUN_WITH_CFX
  bool validated = Line().validator == nullptr;
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
      if (Line().web) Line().web->Monitor().StepStarted(plan.number, stepIndex, stepName, std::to_string(step.number) + " s");
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
      if (Line().web) Line().web->Monitor().StepStarted(plan.number, stepIndex, stepName, ArgumentsOf(step.source));
#endif
      outcome.passed = RunCall(lib, plan, options, observer, step, unit, &outcome);
      break;
    }
    outcome.ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now() - t0).count();
#if QRX_RUN_WITH_WEB
    if (Line().web) {
      Line().web->Monitor().StepEnded(plan.number, stepIndex, stepName, outcome.result, outcome.passed);
      if (unit->Serial() != serialShown) {
        serialShown = unit->Serial();
        Line().web->Monitor().SerialNumberKnown(plan.number, serialShown);
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
  if (Line().collector && !unitId.empty()) Line().collector->UnitEnded(unitId);
#endif
  if (lib.endUnit) lib.endUnit(summary.passed ? 0 : 1);
  unit->End(summary.passed);
#if QRX_RUN_WITH_WEB
  if (Line().web) {
    // The page's tile and counters; the record itself is the collector's.
    store::UnitRecord ended;
    ended.unitId = unit->Id();
    ended.serialNumber = summary.serial;
    ended.verdict = summary.passed ? store::UnitVerdict::Pass : store::UnitVerdict::Fail;
    ended.failureReason = summary.passed ? "" : summary.failingStep + ": " + summary.why;
    ended.endedUs = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::system_clock::now().time_since_epoch()).count();
    Line().web->Monitor().UnitEnded(plan.number, ended);
  }
#endif
  Print(plan.number, "unit " + std::to_string(number) + " " + (summary.passed ? "PASS" : "FAIL") +
                         (summary.serial.empty() ? "" : " SN " + summary.serial) + " (" + unit->Id() + ")");
  report->AddUnit(summary);
}

} // namespace

void RunStation(const InterfaceLibrary &lib, const StationPlan &plan, const RunOptions &options,
                store::IdentitySource *ids, StationTurns *turns, StationReport *report) {
  t_station = plan.number;
#if QRX_RUN_WITH_WEB
  web::SerialPromptBridge::SetThreadStation(plan.number);
#endif
  StationObserver observer(plan.number);
#if QRX_RUN_WITH_COLLECTOR
  StationUnit unit(ids, [] { return Line().collector ? Line().collector->Problem() : std::string(); });
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
  if (Line().web) {
    if (report->initialised) Line().web->Monitor().StationStarted(plan.number, plan.product, plan.config);
    else Line().web->Monitor().StationEnded(plan.number, "InitQRXInterface returned " + std::to_string(init) +
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
  if (Line().web && report->initialised) {
    Line().web->Monitor().StationEnded(plan.number, std::to_string(report->units) + " unit(s), " +
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

} // namespace qrx::tools
