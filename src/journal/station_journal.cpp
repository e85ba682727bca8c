// The station journal: event lines, unit boundaries, and what happens when the journal cannot
// be written (the station says so once and goes on testing).
#include "journal/station_journal.h"

#include "interface/export_forwarder.h"
#include "journal/identity_operations.h"
#include "journal/journal_format.h"
#include "journal/json_line.h"
#include "platform/code_page.h"
#include "platform/module_path.h"
#include "platform/operator_ui.h"
#include "platform/process.h"
#include "services/test_item_events.h"

#include <qrx/version.h>

#include <atomic>
#include <chrono>
#include <cstdio>

namespace qrx::journal {
namespace {

thread_local StationJournal *t_current = nullptr;

// The journal of the station that started a download last: the plug-ins' progress goes to the
// callback installed last, so it is that station's download.
std::mutex g_downloadLock;
StationJournal *g_downloadJournal = nullptr;
std::atomic<bool> g_downloadWatched{false};

// A header is at most this long: bounds the estimate of a line's size before rotation.
constexpr size_t kHeaderBytes = 200;
// Events held during one naming call at most; more are written at once, in the unit open then.
constexpr size_t kMostHeld = 4096;

// The wall clock is read again after this much steady time; in between, wall time advances
// with the steady clock (a clock read costs about as much as formatting a whole event).
constexpr int64_t kWallClockReadNs = 100'000'000;

int64_t WallClockUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

bool IsPass(const std::string &verdict) {
  static constexpr char kPass[] = "PASS";
  if (verdict.size() != 4) return false;
  for (size_t i = 0; i < 4; ++i)
    if ((verdict[i] & ~0x20) != kPass[i]) return false;
  return true;
}

void OnMessageBox(const char *caption, const std::string &text) {
  if (StationJournal *journal = StationJournal::Current()) journal->MessageBox(caption, text);
}

void SetDownloadJournal(StationJournal *journal) {
  std::lock_guard<std::mutex> hold(g_downloadLock);
  g_downloadJournal = journal;
  g_downloadWatched.store(journal != nullptr, std::memory_order_release);
}

void ForgetDownloadJournal(StationJournal *journal) {
  std::lock_guard<std::mutex> hold(g_downloadLock);
  if (g_downloadJournal != journal) return;
  g_downloadJournal = nullptr;
  g_downloadWatched.store(false, std::memory_order_release);
}

} // namespace

std::unique_ptr<StationJournal> StationJournal::Open(const std::string &stationDirectory,
                                                     int threadIndex,
                                                     const std::string &productType,
                                                     const std::string &businessConfig,
                                                     bool *required, std::string *problem) {
  JournalSettings settings;
  if (!JournalSettings::Load(stationDirectory, &settings)) return nullptr;
  *required = settings.required;
  platform::SetMessageBoxListener(&OnMessageBox);
  std::unique_ptr<StationJournal> journal(
      new StationJournal(settings, threadIndex, productType, businessConfig));
  std::lock_guard<std::mutex> hold(journal->lock_);
  if (!journal->output_.Ready(MonoNs())) {
    *problem = journal->output_.LastError();
    journal->TellProblem();
  }
  return journal;
}

StationJournal::StationJournal(const JournalSettings &settings, int threadIndex,
                               std::string productType, std::string businessConfig)
    : output_(settings,
              JournalFileName{platform::MachineName(), platform::CurrentProcessId(), threadIndex,
                              std::chrono::duration_cast<std::chrono::microseconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count(),
                              0}),
      threadIndex_(threadIndex), productType_(std::move(productType)),
      businessConfig_(std::move(businessConfig)) {
  holding_ = true; // until the station start, whose result is known last
}

StationJournal::~StationJournal() {
  ForgetDownloadJournal(this);
  if (t_current == this) t_current = nullptr;
}

StationJournal *StationJournal::Current() { return t_current; }

int64_t StationJournal::MonoNs() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

void StationJournal::Stamp(int64_t *wallUs, int64_t *monoNs) {
  // Lines go out in the order of their monoNs, even when an event of another thread came
  // between a call's end and its line.
  if (*monoNs < lastMonoNs_) *monoNs = lastMonoNs_;
  lastMonoNs_ = *monoNs;
  if (wallReadNs_ == 0 || *monoNs - wallReadNs_ >= kWallClockReadNs) {
    wallReadUs_ = WallClockUs();
    wallReadNs_ = *monoNs;
  }
  *wallUs = wallReadUs_ + (*monoNs - wallReadNs_) / 1000;
}
void StationJournal::SetCurrent(StationJournal *journal) { t_current = journal; }

void StationJournal::SetProblemLine(std::function<void(const std::string &)> sayToObservers) {
  std::lock_guard<std::mutex> hold(lock_);
  sayToObservers_ = std::move(sayToObservers);
}

JsonLine &StationJournal::Body() {
  body_.Clear();
  return body_;
}

int64_t StationJournal::Finish(std::string_view type, bool inUnit, bool failedItem,
                               int64_t monoNs) {
  int64_t wallUs = 0;
  if (monoNs == 0) monoNs = MonoNs();
  Stamp(&wallUs, &monoNs);
  if (holding_) {
    if (heldCount_ >= kMostHeld) FlushHeld();
    if (heldCount_ == held_.size()) held_.emplace_back();
    Held &h = held_[heldCount_++];
    h.type = type;
    h.wallUs = wallUs;
    h.monoNs = monoNs;
    h.inUnit = inUnit;
    h.failedItem = failedItem;
    h.body.assign(body_.View());
    return -1;
  }
  if (failedItem && inUnit && unit_.IsOpen()) unit_.NoteFailedItem();
  return WriteLine(type, wallUs, monoNs, inUnit, body_.View());
}

void StationJournal::FlushHeld() {
  for (size_t i = 0; i < heldCount_; ++i) {
    Held &h = held_[i];
    if (h.failedItem && h.inUnit && unit_.IsOpen()) unit_.NoteFailedItem();
    WriteLine(h.type, h.wallUs, h.monoNs, h.inUnit, h.body);
  }
  heldCount_ = 0;
}

void StationJournal::Header(JsonLine &out, std::string_view type, int64_t wallUs,
                            int64_t monoNs, bool inUnit) {
  out.Clear();
  out.Raw("{\"v\":");
  out.Int(kJournalFormatVersion);
  out.IntField(field::kSeq, output_.Seq());
  out.Key(field::kType);
  out.Utf8(type);
  out.IntField(field::kWallUs, wallUs);
  out.IntField(field::kMonoNs, monoNs);
  out.IntField(field::kThread, threadIndex_);
  if (inUnit && unit_.IsOpen()) {
    out.Key(field::kUnit);
    out.Utf8(unit_.Id());
  }
}

int64_t StationJournal::WriteLine(std::string_view type, int64_t wallUs, int64_t monoNs,
                                  bool inUnit, std::string_view body) {
  int64_t written = -1;
  if (output_.Ready(monoNs)) {
    if (output_.Lost() > 0) {
      // The first line that can be written again says what is missing before it.
      Header(extra_, event::kJournalProblem, wallUs, monoNs, false);
      extra_.TextField(field::kText,
                          std::to_string(output_.Lost()) + " events could not be written: " +
                              output_.LastError());
      extra_.Raw("}\n");
      if (output_.Append(extra_.View())) output_.ClearLost();
    }
    if (output_.NeedsRotation(body.size() + kHeaderBytes)) {
      Header(extra_, event::kRotated, wallUs, monoNs, false);
      extra_.TextField(field::kNext, output_.NextFileName());
      extra_.Raw("}\n");
      if (!output_.Append(extra_.View())) output_.CountLost();
      output_.Rotate(monoNs);
    }
  }
  if (output_.Ready(monoNs)) {
    Header(line_, type, wallUs, monoNs, inUnit);
    line_.Raw(body);
    line_.Raw("}\n");
    const int64_t seq = output_.Seq();
    if (output_.Append(line_.View())) written = seq;
  }
  if (written < 0) output_.CountLost();
  TellProblem();
  return written;
}

void StationJournal::TellProblem() {
  std::string message;
  std::string told;
  if (output_.TakeFirstProblem(&message))
    told = "the station journal cannot be written (" + message +
           "); the station goes on testing without it";
  else if (output_.TakeFirstUnrecordedDrop(&message))
    told = message;
  if (told.empty()) return;
  const std::string line = "QRXInterface: station " + std::to_string(threadIndex_) + ": " +
                           platform::AnsiToUtf8(told) + "\n";
  std::fputs(line.c_str(), stderr);
  problemLine_ = told;
}

void StationJournal::StationStart(int result) {
  std::lock_guard<std::mutex> hold(lock_);
  JsonLine &b = Body();
  b.TextField(field::kProductType, productType_);
  b.TextField(field::kBusinessConfig, businessConfig_);
  b.TextField(field::kHostProcess, platform::CurrentProcessName());
  b.IntField(field::kHostPid, platform::CurrentProcessId());
  b.TextField(field::kMachine, platform::MachineName());
  b.TextField(field::kLibraryVersion, QRX_VERSION_STRING);
  b.IntField(field::kResult, result);
  b.IntField(field::kJournalFormat, kJournalFormatVersion);
  holding_ = false;
  started_ = true;
  Finish(event::kStationStart, false);
  FlushHeld();
}

void StationJournal::StationEnd(int result) {
  ForgetDownloadJournal(this);
  std::lock_guard<std::mutex> hold(lock_);
  holding_ = false;
  FlushHeld();
  if (unit_.IsOpen()) EndUnit(reason::kStationEnd, false, unit_.InferredPass());
  Body().IntField(field::kResult, result);
  Finish(event::kStationEnd, false);
  output_.Close();
}

void StationJournal::BeginUnit(const std::string &serial, bool isExplicit,
                               std::string_view why) {
  unit_.Begin(serial, isExplicit);
  JsonLine &b = Body();
  b.TextField(field::kSerial, serial);
  b.BoolField(field::kExplicit, isExplicit);
  b.Key(field::kReason);
  b.Utf8(why);
  int64_t wallUs = 0, monoNs = MonoNs();
  Stamp(&wallUs, &monoNs);
  WriteLine(event::kUnitBegin, wallUs, monoNs, true, body_.View());
}

void StationJournal::EndUnit(std::string_view why, bool hostVerdict, bool pass) {
  JsonLine &b = Body();
  b.TextField(field::kSerial, unit_.Serial());
  b.Key(field::kVerdict);
  b.Utf8(pass ? verdict::kPass : verdict::kFail);
  b.BoolField(field::kInferred, !hostVerdict);
  b.Key(field::kReason);
  b.Utf8(why);
  b.IntField(field::kFirstFailingCall, unit_.FirstFailingCall());
  int64_t wallUs = 0, monoNs = MonoNs();
  Stamp(&wallUs, &monoNs);
  WriteLine(event::kUnitEnd, wallUs, monoNs, true, body_.View());
  unit_.End();
}

void StationJournal::Named(const std::string &serial) {
  if (!unit_.IsOpen()) {
    BeginUnit(serial, false, reason::kNamed);
  } else if (unit_.Explicit() || unit_.Serial() == serial) {
    return;
  } else if (unit_.Serial().empty()) {
    unit_.SetSerial(serial);
  } else {
    EndUnit(reason::kNamedOther, false, unit_.InferredPass());
    BeginUnit(serial, false, reason::kNamed);
  }
}

void StationJournal::BeforeCall(const ExportRow &row, const ExportArgument *arguments) {
  bool download = false;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (row.unit != UnitRole::kOutside && !hostDriven_ && started_) {
      const size_t index = static_cast<size_t>(&row - kExportCatalogue);
      if (row.unit == UnitRole::kBegins && unit_.IsOpen() && unit_.SeenBefore(index))
        EndUnit(reason::kRestarted, false, unit_.InferredPass());
      if (!unit_.IsOpen()) {
        BeginUnit("", false, reason::kFirstCall);
        if (row.unit == UnitRole::kBegins) unit_.SeenBefore(index);
      }
    }
    if (row.unit == UnitRole::kNames && started_) {
      holding_ = true;
      promptedSerial_.clear();
    }
    if (row.operation == ManagerOperation::kStartDownload) {
      download = true;
      lastMilestone_ = -1;
      downloadError_ = 0;
      downloadOpen_ = true;
      JsonLine &b = Body();
      b.Key(field::kPhase);
      b.Utf8(download_phase::kStart);
      b.TextField(field::kImage, arguments[0].text ? arguments[0].text : "");
      Finish(event::kDownload);
    }
  }
  if (download) SetDownloadJournal(this);
}

void StationJournal::AfterCall(const ExportRow &row, const ExportArgument *arguments,
                               int32_t result, int64_t startNs, int64_t endNs,
                               const ExportReadBack &readBack) {
  std::string say;
  {
    std::lock_guard<std::mutex> hold(lock_);
    Recorded(row, arguments, result, startNs, endNs, readBack);
    // After the call: observers that the host registered with it hear the line too.
    if (!problemLine_.empty() && sayToObservers_) say.swap(problemLine_);
  }
  if (!say.empty()) sayToObservers_(say);
}

void StationJournal::Recorded(const ExportRow &row, const ExportArgument *arguments,
                              int32_t result, int64_t startNs, int64_t endNs,
                              const ExportReadBack &readBack) {
  const IdentityOperation *identity =
      row.shape == ExportShape::kManager ? FindIdentityOperation(row.operation) : nullptr;
  if (row.unit == UnitRole::kNames && holding_ && started_) {
    holding_ = false;
    const std::string &serial =
        readBack.present && !readBack.isNumber ? readBack.text : promptedSerial_;
    if (!serial.empty() && !hostDriven_) Named(serial);
    FlushHeld();
  }
  if (identity) {
    const bool writes = identity->op == identity_op::kWrite;
    const char *written =
        writes && !row.arguments.empty() && row.arguments[0] == argument_type::kText
            ? arguments[0].text
            : nullptr;
    JsonLine &b = Body();
    b.Key(field::kKind);
    b.Utf8(identity->kind);
    b.Key(field::kOp);
    b.Utf8(identity->op);
    b.TextField(field::kValue, writes ? (written ? written : "") : readBack.text);
    b.IntField(field::kResult, result);
    b.BoolField(field::kPassed, result == 0);
    Finish(event::kIdentity);
  }
  if (row.operation == ManagerOperation::kStartDownload && result != 0) {
    downloadOpen_ = false;
    JsonLine &b = Body();
    b.Key(field::kPhase);
    b.Utf8(download_phase::kEnd);
    b.BoolField(field::kSuccess, false);
    b.TextField(field::kOutcome, "not started");
    Finish(event::kDownload);
  }

  JsonLine &b = Body();
  b.Key(field::kName);
  b.Utf8(row.name);
  b.Key(field::kArgs);
  b.Raw('[');
  bool first = true;
  for (size_t i = 0; i < row.arguments.size(); ++i) {
    const char letter = row.arguments[i];
    if (letter != argument_type::kInt && letter != argument_type::kDouble &&
        letter != argument_type::kText)
      continue; // buffers, out-parameters, callbacks and observers are no values
    if (!first) b.Raw(',');
    first = false;
    if (letter == argument_type::kInt) {
      b.Raw('"');
      b.Int(arguments[i].integer);
      b.Raw('"');
    } else if (letter == argument_type::kDouble) {
      b.FixedReal(arguments[i].real);
    } else if (arguments[i].text) {
      b.Text(arguments[i].text);
    } else {
      b.Raw("null");
    }
  }
  b.Raw(']');
  b.IntField(field::kResult, result);
  b.IntField(field::kDurationUs, (endNs - startNs) / 1000);
  b.Key(field::kReadBack);
  b.Raw('{');
  if (readBack.present) {
    std::string_view key = identity && !identity->readBack.empty() ? identity->readBack
                           : readBack.isNumber                     ? "Power"
                                                                   : "Sn";
    b.Utf8(key);
    b.Raw(':');
    if (readBack.isNumber) b.Real(readBack.number);
    else b.Text(readBack.text);
  }
  b.Raw('}');
  b.BoolField(field::kPassed, result == 0);
  const bool inUnit = row.unit != UnitRole::kOutside;
  const int64_t seq = Finish(event::kCall, inUnit, false, endNs);
  if (result != 0 && inUnit && unit_.IsOpen()) unit_.NoteFailedCall(seq);
}

void StationJournal::Item(const std::string &source, const std::string &item,
                          const std::string &value, const std::string &upper,
                          const std::string &lower, const std::string &verdictText, int tag) {
  std::lock_guard<std::mutex> hold(lock_);
  const bool passed = IsPass(verdictText);
  JsonLine &b = Body();
  b.TextField(field::kSource, source);
  b.TextField(field::kName, item);
  b.TextField(field::kValue, value);
  b.TextField(field::kLower, lower);
  b.TextField(field::kUpper, upper);
  b.TextField(field::kVerdict, verdictText);
  b.BoolField(field::kPassed, passed);
  b.IntField(field::kTag, tag);
  const std::pair<std::string_view, const std::string *> numbers[] = {
      {field::kValueNumber, &value}, {field::kLowerNumber, &lower}, {field::kUpperNumber, &upper}};
  for (const auto &[key, text] : numbers) {
    double number = 0;
    if (!TestItemEvents::ParseNumber(*text, &number)) continue;
    b.Key(key);
    b.Real(number);
  }
  Finish(event::kItem, true, !passed);
}

void StationJournal::Log(int level, const std::string &text) {
  std::lock_guard<std::mutex> hold(lock_);
  JsonLine &b = Body();
  b.IntField(field::kLevel, level);
  b.TextField(field::kText, text);
  Finish(event::kLog);
}

void StationJournal::Identity(std::string_view kind, std::string_view op, std::string_view value,
                              const char *expected, int result, bool passed) {
  std::lock_guard<std::mutex> hold(lock_);
  JsonLine &b = Body();
  b.Key(field::kKind);
  b.Utf8(kind);
  b.Key(field::kOp);
  b.Utf8(op);
  b.TextField(field::kValue, value);
  if (expected) b.TextField(field::kExpected, expected);
  b.IntField(field::kResult, result);
  b.BoolField(field::kPassed, passed);
  Finish(event::kIdentity);
}

void StationJournal::Prompt(const std::string &pattern, const std::string &answer,
                            bool cancelled) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!cancelled && !answer.empty() && !hostDriven_ && started_) {
    if (holding_) promptedSerial_ = answer;
    else Named(answer);
  }
  JsonLine &b = Body();
  b.TextField(field::kKind, "serial");
  b.TextField(field::kPattern, pattern);
  b.TextField(field::kAnswer, cancelled ? std::string() : answer);
  b.BoolField(field::kCancelled, cancelled);
  Finish(event::kPrompt);
}

void StationJournal::MessageBox(const char *caption, const std::string &text) {
  std::lock_guard<std::mutex> hold(lock_);
  JsonLine &b = Body();
  b.TextField(field::kCaption, caption ? caption : platform::kApplicationCaption);
  b.TextField(field::kText, text);
  Finish(event::kMessageBox);
}

void StationJournal::HostBeginUnit(const std::string &serial) {
  std::lock_guard<std::mutex> hold(lock_);
  hostDriven_ = true;
  if (unit_.IsOpen()) EndUnit(reason::kHost, false, unit_.InferredPass());
  BeginUnit(serial, true, reason::kHost);
}

void StationJournal::HostEndUnit(int verdictCode) {
  std::lock_guard<std::mutex> hold(lock_);
  hostDriven_ = true;
  if (unit_.IsOpen()) EndUnit(reason::kHost, true, verdictCode == 0);
}

std::string StationJournal::OpenUnitId() {
  std::lock_guard<std::mutex> hold(lock_);
  return unit_.IsOpen() ? unit_.Id() : std::string();
}

void StationJournal::DownloadProgress(const QRXDownloadEvent &event) {
  if (!g_downloadWatched.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> hold(g_downloadLock);
  if (g_downloadJournal) g_downloadJournal->DownloadEvent(event);
}

void StationJournal::DownloadEvent(const QRXDownloadEvent &event) {
  std::lock_guard<std::mutex> hold(lock_);
  // One end per start: reports after it belong to another station's download, which the
  // plug-in's shared window cannot tell apart.
  if (!downloadOpen_) return;
  JsonLine &b = Body();
  switch (event.kind) {
  case 0: // the plug-in took the job
  case 1: { // percent done: the quarters are the milestones
    const int percent = event.kind == 0 ? 0 : event.value1;
    const int milestone = percent / 25;
    if (milestone <= lastMilestone_) return;
    lastMilestone_ = milestone;
    b.Key(field::kPhase);
    b.Utf8(download_phase::kProgress);
    b.IntField(field::kPercent, percent);
    break;
  }
  case 3: {
    const bool success = event.value5 == 1;
    std::string outcome = success ? "finished" : "failed";
    if (!success && downloadError_) outcome += " (error " + std::to_string(downloadError_) + ")";
    b.Key(field::kPhase);
    b.Utf8(download_phase::kEnd);
    b.BoolField(field::kSuccess, success);
    b.TextField(field::kOutcome, outcome);
    downloadOpen_ = false;
    break;
  }
  case 4:
    downloadError_ = event.value2;
    return;
  default:
    return;
  }
  Finish(event::kDownload);
}

} // namespace qrx::journal
