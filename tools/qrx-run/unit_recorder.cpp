// Filling one unit's record on its station's thread; the sinks queue it, the pools answer.
#include "unit_recorder.h"

#include <chrono>
#include <cstdio>
#include <random>

namespace qrx::tools {

UnitRecorder::UnitRecorder(std::vector<store::UnitSink *> sinks, store::IdentitySource *ids)
    : sinks_(std::move(sinks)), ids_(ids) {}

std::string UnitRecorder::NewUnitId() {
  static thread_local std::mt19937_64 random{std::random_device{}() ^
                                             static_cast<uint64_t>(SteadyMicros())};
  uint64_t hi = random(), lo = random();
  hi = (hi & ~0xF000ULL) | 0x4000ULL;                   // version 4
  lo = (lo & ~0xC000000000000000ULL) | 0x8000000000000000ULL; // RFC 4122 variant
  char text[37];
  std::snprintf(text, sizeof text, "%08x-%04x-%04x-%04x-%012llx", unsigned(hi >> 32),
                unsigned(hi >> 16 & 0xFFFF), unsigned(hi & 0xFFFF), unsigned(lo >> 48),
                static_cast<unsigned long long>(lo & 0xFFFFFFFFFFFFULL));
  return text;
}

int64_t UnitRecorder::WallMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch()).count();
}

int64_t UnitRecorder::SteadyMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch()).count();
}

void UnitRecorder::Begin(const store::UnitRecord &header) {
  unit_ = header;
  unit_.steps.clear();
  unit_.items.clear();
  unit_.identities.clear();
  unit_.downloads.clear();
  if (unit_.unitId.empty()) unit_.unitId = NewUnitId();
  unit_.startedUs = WallMicros();
  unit_.endedUs = 0;
  unit_.verdict = store::UnitVerdict::Incomplete;
  unit_.firstFailingStep = -1;
  unit_.failureReason.clear();
  serialFromPrompt_ = !unit_.serialNumber.empty();
  step_ = -1;
  pool_.clear();
  poolWritten_.clear();
  active_ = true;
  for (store::UnitSink *sink : sinks_) sink->BeginUnit(unit_);
}

int UnitRecorder::BeginStep(const std::string &exportName) {
  store::StepRecord step;
  step.index = static_cast<int>(unit_.steps.size());
  step.exportName = exportName;
  step.startedUs = WallMicros();
  unit_.steps.push_back(step);
  stepStarted_ = SteadyMicros();
  return step_ = step.index;
}

void UnitRecorder::EndStep(int32_t result, bool passed, const std::string &arguments,
                           const std::string &why) {
  if (step_ < 0) return;
  store::StepRecord &step = unit_.steps[static_cast<size_t>(step_)];
  step.arguments = arguments;
  step.result = result;
  step.passed = passed;
  step.durationUs = SteadyMicros() - stepStarted_;
  if (!passed && unit_.firstFailingStep < 0) {
    unit_.firstFailingStep = step_;
    unit_.failureReason = why;
  }
  step_ = -1;
}

void UnitRecorder::AddItem(store::TestItemRecord item) {
  if (!active_) return;
  item.stepIndex = step_;
  unit_.items.push_back(std::move(item));
}

bool UnitRecorder::PoolValue(const std::string &kind, std::string *value, std::string *error) {
  auto known = pool_.find(kind);
  if (known != pool_.end()) {
    *value = known->second;
    return true;
  }
  if (!ids_) {
    *error = "@" + kind + " needs an identity pool, and this run has no results store";
    return false;
  }
  std::string reserved;
  if (!ids_->Reserve(unit_.unitId, kind, &reserved, error)) {
    if (error->empty()) *error = "no " + kind + " left in the pool";
    return false;
  }
  if (!ids_->MayProgram(unit_.unitId, kind, reserved, error)) return false;
  pool_[kind] = reserved;
  *value = reserved;
  return true;
}

bool UnitRecorder::ReservedValue(const std::string &kind, std::string *value) const {
  auto known = pool_.find(kind);
  if (known == pool_.end()) return false;
  *value = known->second;
  return true;
}

bool UnitRecorder::MayWrite(const std::string &kind, const std::string &value, std::string *error) {
  // An identity programmed into a unit whose record cannot be kept would be lost to the line.
  for (const store::UnitSink *sink : sinks_) {
    if (!sink) continue;
    if (std::string problem = sink->Problem(); !problem.empty()) {
      *error = "the unit's record cannot be kept, so nothing is programmed: " + problem;
      return false;
    }
  }
  return !ids_ || ids_->MayProgram(unit_.unitId, kind, value, error);
}

bool UnitRecorder::Identity(const std::string &kind, bool write, const std::string &value,
                            int32_t result, std::string *error) {
  auto pooled = pool_.find(kind);
  const bool fromPool = pooled != pool_.end() && pooled->second == value;
  store::IdentityRecord record;
  record.stepIndex = step_;
  record.kind = kind;
  record.value = value;
  record.action = write ? "written" : "read";
  record.result = result;
  record.fromPool = fromPool;
  record.wallUs = WallMicros();
  unit_.identities.push_back(record);
  if (kind == "sn" && result == 0 && !value.empty() && unit_.serialNumber.empty())
    unit_.serialNumber = value;
  if (result != 0 || !fromPool || !ids_) return true;
  if (write) {
    if (!ids_->MarkWritten(unit_.unitId, kind, value, error)) return false;
    poolWritten_[kind] = true;
    return true;
  }
  // Only a value that this unit wrote can be verified by reading it back.
  if (!poolWritten_[kind]) return true;
  return ids_->MarkVerified(unit_.unitId, kind, value, error);
}

void UnitRecorder::Prompted(const std::string &answer) {
  if (!active_ || answer.empty() || serialFromPrompt_) return;
  unit_.serialNumber = answer;
  serialFromPrompt_ = true;
}

void UnitRecorder::AddDownload(store::DownloadRecord download) {
  unit_.downloads.push_back(std::move(download));
}

const store::UnitRecord &UnitRecorder::End() {
  if (!active_) return unit_;
  if (step_ >= 0) EndStep(unit_.steps[static_cast<size_t>(step_)].result, false, "", "the step did not end");
  unit_.endedUs = WallMicros();
  unit_.verdict = unit_.firstFailingStep < 0 ? store::UnitVerdict::Pass : store::UnitVerdict::Fail;
  active_ = false;
  for (store::UnitSink *sink : sinks_) sink->EndUnit(unit_);
  if (ids_) ids_->EndUnit(unit_.unitId, unit_.verdict == store::UnitVerdict::Pass);
  return unit_;
}

} // namespace qrx::tools
