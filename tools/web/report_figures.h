// The figures of a line report, computed from unit records: yields, failure Pareto, measured
// item statistics and retests.
#pragma once

#include "store/unit_record.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qrx::web {

// One group of units (a product, a station, a day, or the whole line). A unit is one serial
// number: it counts in the group of its first test; first pass is the verdict of that first
// test, final the verdict of its last test.
struct YieldRow {
  std::string key;
  int64_t units = 0;
  int64_t tests = 0;       // tests of these units, retests included
  int64_t firstPass = 0;
  int64_t finalPass = 0;
  double FirstPassYield() const { return units ? double(firstPass) / double(units) : 0.0; }
  double FinalYield() const { return units ? double(finalPass) / double(units) : 0.0; }
};

struct ParetoRow {
  std::string key;
  int64_t count = 0;
  double cumulativeShare = 0; // share of all failures up to and including this row
};

// Statistics of one measured item: items of one name and the same limit texts.
struct ItemStatistics {
  std::string name, lowerText, upperText;
  std::optional<double> lower, upper;
  std::vector<double> values;
  double mean = 0, sd = 0;    // sd: sample standard deviation (n - 1)
  std::optional<double> cpk;  // one-sided with one limit; none without limits or spread
  int64_t outside = 0;        // values below the lower or above the upper limit
  int64_t failed = 0;         // items logged with a failing verdict
};

struct Retest {
  std::string serialNumber;
  std::vector<size_t> tests; // indexes into the units, in test order
};

class ReportFigures {
public:
  explicit ReportFigures(const std::vector<qrx::store::UnitRecord> &units);

  const std::vector<qrx::store::UnitRecord> &Units() const { return units_; }
  const YieldRow &Line() const { return line_; }
  const std::vector<YieldRow> &ByProduct() const { return byProduct_; }
  const std::vector<YieldRow> &ByStation() const { return byStation_; }
  const std::vector<YieldRow> &ByDay() const { return byDay_; }
  const std::vector<ParetoRow> &FailingSteps() const { return failingSteps_; }
  const std::vector<ParetoRow> &FailingItems() const { return failingItems_; }
  const std::vector<ItemStatistics> &Items() const { return items_; }
  const std::vector<Retest> &Retests() const { return retests_; }
  int64_t Incomplete() const { return incomplete_; }

  static std::string StationKey(const qrx::store::UnitRecord &unit); // "host S2" or "S2"
  static std::string DayKey(int64_t wallUs);                          // UTC "2026-12-08"
  static std::string TimeText(int64_t wallUs);                        // UTC "2026-12-08 10:15:02"
  static std::string FailingStep(const qrx::store::UnitRecord &unit);

private:
  const std::vector<qrx::store::UnitRecord> &units_;
  YieldRow line_;
  std::vector<YieldRow> byProduct_, byStation_, byDay_;
  std::vector<ParetoRow> failingSteps_, failingItems_;
  std::vector<ItemStatistics> items_;
  std::vector<Retest> retests_;
  int64_t incomplete_ = 0;
};

} // namespace qrx::web
