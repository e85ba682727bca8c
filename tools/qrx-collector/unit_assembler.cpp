// Journal events into unit records.
#include "unit_assembler.h"

#include "journal/journal_format.h"

namespace qrx::collector {

namespace f = journal::field;
using nlohmann::json;
using store::UnitRecord;
using store::UnitVerdict;

namespace {

// A station_start kept as a tree (a run's first event, or the one its position carries).
const json &Field(const json &e, std::string_view key) {
  static const json kNull;
  if (!e.is_object())
    return kNull;
  const auto it = e.find(key);
  return it == e.end() ? kNull : *it;
}

std::string Text(const json &e, std::string_view key) {
  const json &v = Field(e, key);
  if (v.is_string())
    return v.get<std::string>();
  return v.is_null() ? std::string() : v.dump();
}

int64_t Int(const json &e, std::string_view key) {
  const json &v = Field(e, key);
  return v.is_number_integer() ? v.get<int64_t>()
         : v.is_number()       ? static_cast<int64_t>(v.get<double>())
                               : 0;
}

std::string JoinArguments(const json &args) {
  std::string out;
  if (!args.is_array())
    return out;
  for (const json &a : args) {
    if (!out.empty())
      out += ", ";
    out += a.is_string() ? a.get<std::string>() : a.dump();
  }
  return out;
}

} // namespace

void UnitAssembler::SetStation(const json &stationStart) {
  station_ = stationStart.is_object() ? stationStart : json::object();
}

void UnitAssembler::Reset() {
  open_ = false;
  unit_ = UnitRecord();
  stepOfCall_.clear();
  download_.reset();
}

void UnitAssembler::Begin(const std::string &unitId, const std::string &serial, int64_t wallUs) {
  Reset();
  open_ = true;
  unit_.unitId = unitId;
  unit_.serialNumber = serial;
  unit_.productType = Text(station_, f::kProductType);
  unit_.businessConfig = Text(station_, f::kBusinessConfig);
  unit_.threadIndex = static_cast<int>(Int(station_, f::kThread));
  unit_.stationIndex = unit_.threadIndex + 1;
  unit_.hostName = Text(station_, f::kMachine);
  unit_.sequenceFile = Text(station_, f::kHostProcess); // what ran the unit: the host program
  unit_.startedUs = wallUs;
}

UnitRecord UnitAssembler::Finish(UnitVerdict verdict, int64_t endedUs) {
  unit_.verdict = verdict;
  unit_.endedUs = endedUs;
  if (download_) {
    download_->outcome = "the unit ended before the download did";
    unit_.downloads.push_back(std::move(*download_));
  }
  if (unit_.firstFailingStep < 0 && verdict == UnitVerdict::Fail)
    for (const auto &step : unit_.steps)
      if (!step.passed) {
        unit_.firstFailingStep = step.index;
        break;
      }
  if (unit_.firstFailingStep >= 0 && unit_.firstFailingStep < StepIndexNow()) {
    const auto &step = unit_.steps[static_cast<size_t>(unit_.firstFailingStep)];
    unit_.failureReason = step.exportName + "(" + step.arguments + ") returned " +
                          std::to_string(step.result);
  } else if (verdict == UnitVerdict::Fail) {
    for (const auto &item : unit_.items)
      if (!item.passed) {
        unit_.failureReason = "test item " + item.name + " failed: " + item.value + " not in [" +
                              item.lower + ", " + item.upper + "]";
        break;
      }
  } else if (verdict == UnitVerdict::Incomplete) {
    unit_.failureReason = "the unit did not end: its host stopped";
  }
  UnitRecord done = std::move(unit_);
  Reset();
  return done;
}

UnitRecord UnitAssembler::TakeIncomplete() { return Finish(UnitVerdict::Incomplete, lastWallUs_); }

void UnitAssembler::Add(const JournalEvent &e, int64_t seq, std::vector<UnitRecord> *finished) {
  const std::string_view type = e.StringView(f::kType);
  const int64_t wallUs = e.Int(f::kWallUs);
  lastWallUs_ = std::max(lastWallUs_, wallUs);
  const std::string_view unitId = e.StringView(f::kUnit); // most lines: the open unit's

  if (type == journal::event::kStationStart) {
    if (open_)
      finished->push_back(TakeIncomplete());
    SetStation(e.ToJson());
    return;
  }
  if (type == journal::event::kUnitBegin) {
    if (open_)
      finished->push_back(TakeIncomplete());
    Begin(std::string(unitId), e.Text(f::kSerial), wallUs);
    return;
  }
  if (type == journal::event::kStationEnd) {
    if (open_) // the library ends the unit first; lost lines may have taken its end
      finished->push_back(TakeIncomplete());
    return;
  }
  if (unitId.empty())
    return; // between units: nothing of a unit record
  if (!open_ || unitId != unit_.unitId) {
    // Its unit_begin was lost: the unit starts here.
    if (open_)
      finished->push_back(TakeIncomplete());
    Begin(std::string(unitId), std::string(), wallUs);
  }

  if (type == journal::event::kUnitEnd) {
    const std::string serial = e.Text(f::kSerial);
    if (!serial.empty())
      unit_.serialNumber = serial;
    const auto failing = stepOfCall_.find(e.Int(f::kFirstFailingCall, -1));
    if (failing != stepOfCall_.end())
      unit_.firstFailingStep = failing->second;
    UnitVerdict verdict = UnitVerdict::Incomplete;
    store::ParseVerdict(e.Text(f::kVerdict), &verdict);
    finished->push_back(Finish(verdict, wallUs));
  } else if (type == journal::event::kCall) {
    store::StepRecord step;
    step.index = StepIndexNow();
    step.exportName = e.Text(f::kName);
    step.arguments = JoinArguments(e.Json(f::kArgs));
    step.result = static_cast<int32_t>(e.Int(f::kResult));
    step.passed = e.Bool(f::kPassed).value_or(step.result == 0);
    step.durationUs = e.Int(f::kDurationUs);
    step.startedUs = wallUs - step.durationUs;
    stepOfCall_[seq] = step.index;
    if (unit_.serialNumber.empty() && step.passed && e.Has(f::kReadBack)) {
      const json readBack = e.Json(f::kReadBack);
      const std::string sn = Text(readBack, "Sn");
      if (!sn.empty() && sn != "FFFFFFFFFFFF")
        unit_.serialNumber = sn;
    }
    unit_.steps.push_back(std::move(step));
  } else if (type == journal::event::kItem) {
    store::TestItemRecord item;
    item.stepIndex = StepIndexNow(); // the call it belongs to is written when it returns
    item.source = e.Text(f::kSource);
    item.name = e.Text(f::kName);
    item.value = e.Text(f::kValue);
    item.lower = e.Text(f::kLower);
    item.upper = e.Text(f::kUpper);
    item.valueNumber = e.Number(f::kValueNumber);
    item.lowerNumber = e.Number(f::kLowerNumber);
    item.upperNumber = e.Number(f::kUpperNumber);
    item.verdict = e.Text(f::kVerdict);
    item.passed = e.Flag(f::kPassed);
    item.tag = e.Text(f::kTag);
    item.monotonicNs = e.Int(f::kMonoNs);
    item.wallUs = wallUs;
    unit_.items.push_back(std::move(item));
  } else if (type == journal::event::kIdentity) {
    store::IdentityRecord identity;
    identity.stepIndex = StepIndexNow();
    identity.kind = e.Text(f::kKind);
    identity.value = e.Text(f::kValue);
    identity.action = e.StringView(f::kOp) == journal::identity_op::kWrite ? "written" : "read";
    identity.result = static_cast<int32_t>(e.Int(f::kResult));
    identity.wallUs = wallUs;
    if (identity.kind == "sn" && unit_.serialNumber.empty() && identity.result == 0 &&
        !identity.value.empty())
      unit_.serialNumber = identity.value;
    unit_.identities.push_back(std::move(identity));
  } else if (type == journal::event::kDownload) {
    const std::string_view phase = e.StringView(f::kPhase);
    if (phase == journal::download_phase::kStart) {
      download_ = store::DownloadRecord{StepIndexNow(), e.Text(f::kImage), false, "", 0};
      downloadStartUs_ = wallUs;
    } else if (phase == journal::download_phase::kEnd) {
      store::DownloadRecord d = download_.value_or(store::DownloadRecord{StepIndexNow(), "", false, "", 0});
      d.success = e.Flag(f::kSuccess);
      d.outcome = e.Text(f::kOutcome);
      d.durationUs = download_ ? wallUs - downloadStartUs_ : 0;
      download_.reset();
      unit_.downloads.push_back(std::move(d));
    }
  } else if (type == journal::event::kPrompt) {
    const std::string answer = e.Text(f::kAnswer);
    if (!e.Flag(f::kCancelled) && !answer.empty())
      unit_.serialNumber = answer; // the operator's barcode names the unit
  }
}

} // namespace qrx::collector
