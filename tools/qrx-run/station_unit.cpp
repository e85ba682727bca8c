// The identities of the unit a station is testing; the pools answer on the station's thread.
#include "station_unit.h"

#include <chrono>
#include <cstdio>
#include <random>

namespace qrx::tools {

StationUnit::StationUnit(store::IdentitySource *ids, std::function<std::string()> recordProblem)
    : ids_(ids), recordProblem_(std::move(recordProblem)) {}

std::string StationUnit::NewUnitId() {
  static thread_local std::mt19937_64 random{
      std::random_device{}() ^
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
  uint64_t hi = random(), lo = random();
  hi = (hi & ~0xF000ULL) | 0x4000ULL;                          // version 4
  lo = (lo & ~0xC000000000000000ULL) | 0x8000000000000000ULL; // RFC 4122 variant
  char text[37];
  std::snprintf(text, sizeof text, "%08x-%04x-%04x-%04x-%012llx", unsigned(hi >> 32),
                unsigned(hi >> 16 & 0xFFFF), unsigned(hi & 0xFFFF), unsigned(lo >> 48),
                static_cast<unsigned long long>(lo & 0xFFFFFFFFFFFFULL));
  return text;
}

void StationUnit::Begin(const std::string &unitId, const std::string &serial) {
  id_ = unitId.empty() ? NewUnitId() : unitId;
  serial_ = serial;
  serialFromPrompt_ = !serial.empty();
  pool_.clear();
  poolWritten_.clear();
}

bool StationUnit::PoolValue(const std::string &kind, std::string *value, std::string *error) {
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
  if (!ids_->Reserve(id_, kind, &reserved, error)) {
    if (error->empty()) *error = "no " + kind + " left in the pool";
    return false;
  }
  if (!ids_->MayProgram(id_, kind, reserved, error)) return false;
  pool_[kind] = reserved;
  *value = reserved;
  return true;
}

bool StationUnit::ReservedValue(const std::string &kind, std::string *value) const {
  auto known = pool_.find(kind);
  if (known == pool_.end()) return false;
  *value = known->second;
  return true;
}

bool StationUnit::MayWrite(const std::string &kind, const std::string &value, std::string *error) {
  // An identity programmed into a unit whose record cannot be kept would be lost to the line.
  if (recordProblem_) {
    if (std::string problem = recordProblem_(); !problem.empty()) {
      *error = "the unit's record cannot be kept, so nothing is programmed: " + problem;
      return false;
    }
  }
  return !ids_ || ids_->MayProgram(id_, kind, value, error);
}

bool StationUnit::Identity(const std::string &kind, bool write, const std::string &value,
                           int32_t result, std::string *error) {
  if (kind == "sn" && result == 0 && !value.empty() && serial_.empty()) serial_ = value;
  auto pooled = pool_.find(kind);
  const bool fromPool = pooled != pool_.end() && pooled->second == value;
  if (result != 0 || !fromPool || !ids_) return true;
  if (write) {
    if (!ids_->MarkWritten(id_, kind, value, error)) return false;
    poolWritten_[kind] = true;
    return true;
  }
  // Only a value that this unit wrote can be verified by reading it back.
  if (!poolWritten_[kind]) return true;
  return ids_->MarkVerified(id_, kind, value, error);
}

void StationUnit::Prompted(const std::string &answer) {
  if (answer.empty() || serialFromPrompt_) return;
  serial_ = answer;
  serialFromPrompt_ = true;
}

void StationUnit::End(bool passed) {
  if (ids_ && !id_.empty()) ids_->EndUnit(id_, passed);
}

} // namespace qrx::tools
