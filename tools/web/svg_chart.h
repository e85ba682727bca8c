// Inline SVG charts for reports: yield bars, Pareto charts and histograms with limits. Every
// label is escaped; the charts need no script and no network.
#pragma once

#include "report_figures.h"

#include <string>
#include <vector>

namespace qrx::web {

class SvgChart {
public:
  // Two bars per group (first pass and final yield), 0 to 100 %.
  static std::string YieldBars(const std::vector<YieldRow> &rows);
  // Bars by count, highest first, with the cumulative share as a line.
  static std::string Pareto(const std::vector<ParetoRow> &rows, size_t maxBars = 15);
  // Histogram of the values with the limits and the mean marked.
  static std::string Histogram(const ItemStatistics &item, size_t bins = 20);

  // A number for people: up to 4 significant decimals, no trailing zeros.
  static std::string Number(double value);
};

} // namespace qrx::web
