// The line's running figures: units tested, first-pass yield and units per hour.
#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <string>

namespace qrx::web {

struct LineFigures {
  int64_t units = 0;          // units that ended with a verdict
  int64_t passed = 0;
  int64_t firstPassUnits = 0; // serial numbers seen for the first time
  int64_t firstPassPassed = 0;
  double firstPassYield = 0;  // firstPassPassed / firstPassUnits, 0 without units
  double unitsPerHour = 0;
};

// Not thread-safe: the line monitor calls it under its own lock.
class LineCounters {
public:
  // A unit ended at endedUs (wall clock). A serial number seen before makes it a retest, which
  // counts as a unit but not for first-pass yield; an empty serial number is always a first pass.
  void UnitEnded(const std::string &serialNumber, bool passed, int64_t endedUs);
  // Units per hour over the last hour, or since the first unit when the line has run for less:
  // a line that started ten minutes ago shows its real pace, not a sixth of it.
  LineFigures Figures(int64_t nowUs) const;

private:
  static constexpr int64_t kWindowUs = 3600LL * 1000000;
  static constexpr size_t kMaxSerials = 1u << 20; // a bound on memory for lines that run for weeks
  LineFigures totals_;
  std::set<std::string> serials_;
  std::deque<int64_t> recentEnds_;
  int64_t firstEndUs_ = 0;
};

} // namespace qrx::web
