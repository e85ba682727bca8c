// What a station's summary keeps, bounded however long the line runs: counts, the latest
// failed units and the last units; and the summary qrx-run prints at its end.
#pragma once

#include "station_plan.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace qrx::tools {

struct UnitSummary {
  int number = 0;
  std::string serial;
  bool passed = false;
  std::string failingStep; // "file:line source -> result"
  std::string why;
};

struct StationReport {
  static constexpr size_t kLastUnits = 20, kFailuresKept = 200;
  int64_t steps = 0;
  int64_t units = 0, unitsPassed = 0;
  bool lastPassed = false;
  std::deque<UnitSummary> lastUnits, failures;
  int64_t failuresDropped = 0;
  int passed = 0, failed = 0; // steps
  double seconds = 0;
  bool initialised = false;
  int initResult = 0;

  void AddUnit(const UnitSummary &u);
  // The failures and the last units, in order, each once.
  std::vector<UnitSummary> Listed() const;
};

// The table of stations and the units listed under it; the number of failed steps.
int PrintLineSummary(const std::vector<StationPlan> &plans, const std::vector<StationReport> &reports);

} // namespace qrx::tools
