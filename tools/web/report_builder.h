// A line report as one self-contained HTML file: yields, failure Pareto, measurement
// distributions with Cpk, retests, and every unit's record found by its serial number.
#pragma once

#include "store/unit_record.h"

#include <string>
#include <vector>

namespace qrx::web {

struct ReportOptions {
  std::string title = "Line report";
  std::string source;          // where the units came from, shown in the header
  size_t histogramBins = 20;
  size_t maxUnitRecords = 20000; // whole records written for at most this many units (newest)
};

class ReportBuilder {
public:
  explicit ReportBuilder(ReportOptions options = {});
  // The whole document. Pure: the same units give the same bytes; the file fetches nothing.
  std::string Build(const std::vector<qrx::store::UnitRecord> &units) const;

private:
  ReportOptions options_;
};

} // namespace qrx::web
