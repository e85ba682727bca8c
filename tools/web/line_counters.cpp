// Line counters: totals, first pass by serial number, and a one-hour window of unit ends.
#include "line_counters.h"

#include <algorithm>

namespace qrx::web {

void LineCounters::UnitEnded(const std::string &serialNumber, bool passed, int64_t endedUs) {
  ++totals_.units;
  if (passed) ++totals_.passed;
  bool firstPass = serialNumber.empty();
  if (!firstPass && serials_.size() < kMaxSerials) firstPass = serials_.insert(serialNumber).second;
  if (firstPass) {
    ++totals_.firstPassUnits;
    if (passed) ++totals_.firstPassPassed;
  }
  if (totals_.units == 1) firstEndUs_ = endedUs;
  recentEnds_.push_back(endedUs);
  while (!recentEnds_.empty() && recentEnds_.front() < endedUs - kWindowUs) recentEnds_.pop_front();
}

LineFigures LineCounters::Figures(int64_t nowUs) const {
  LineFigures f = totals_;
  f.firstPassYield = f.firstPassUnits ? double(f.firstPassPassed) / double(f.firstPassUnits) : 0.0;
  int64_t windowStart = nowUs - kWindowUs;
  auto inWindow = std::count_if(recentEnds_.begin(), recentEnds_.end(),
                                [&](int64_t t) { return t >= windowStart && t <= nowUs; });
  // The pace is measured from the first unit's end (the line's first sign of life) but never
  // over less than a minute, so two quick units do not read as thousands per hour.
  int64_t span = std::min(kWindowUs, nowUs - firstEndUs_);
  span = std::max<int64_t>(span, 60LL * 1000000);
  f.unitsPerHour = f.units ? double(inWindow) * 3600e6 / double(span) : 0.0;
  return f;
}

} // namespace qrx::web
