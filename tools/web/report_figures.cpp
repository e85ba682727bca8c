// Report figures: units grouped by serial number in test order, then yields, Pareto rows and
// item statistics over them.
#include "report_figures.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

namespace qrx::web {

using qrx::store::UnitRecord;
using qrx::store::UnitVerdict;

namespace {

std::vector<ParetoRow> Pareto(const std::map<std::string, int64_t> &counts) {
  std::vector<ParetoRow> rows;
  int64_t total = 0;
  for (const auto &[key, n] : counts) {
    rows.push_back({key, n, 0});
    total += n;
  }
  std::stable_sort(rows.begin(), rows.end(), [](const ParetoRow &a, const ParetoRow &b) { return a.count > b.count; });
  int64_t running = 0;
  for (auto &r : rows) {
    running += r.count;
    r.cumulativeShare = total ? double(running) / double(total) : 0.0;
  }
  return rows;
}

void Count(YieldRow &row, const std::string &key, int64_t tests, bool first, bool final) {
  row.key = key;
  ++row.units;
  row.tests += tests;
  row.firstPass += first ? 1 : 0;
  row.finalPass += final ? 1 : 0;
}

std::vector<YieldRow> Rows(const std::map<std::string, YieldRow> &groups) {
  std::vector<YieldRow> rows;
  for (const auto &[key, row] : groups) rows.push_back(row);
  return rows;
}

} // namespace

std::string ReportFigures::StationKey(const UnitRecord &unit) {
  std::string s = "S" + std::to_string(unit.stationIndex);
  return unit.hostName.empty() ? s : unit.hostName + " " + s;
}

std::string ReportFigures::DayKey(int64_t wallUs) { return TimeText(wallUs).substr(0, 10); }

std::string ReportFigures::TimeText(int64_t wallUs) {
  using namespace std::chrono;
  // A record with an absurd time stamp still gets a readable one: years 0 to 9999.
  wallUs = std::clamp<int64_t>(wallUs, -62167219200LL * 1000000, 253402300799LL * 1000000);
  sys_time<microseconds> t{microseconds{wallUs}};
  auto days = floor<std::chrono::days>(t);
  year_month_day ymd{days};
  auto secs = duration_cast<seconds>(t - days).count();
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02lld:%02lld:%02lld", int(ymd.year()),
                unsigned(ymd.month()), unsigned(ymd.day()), (long long)(secs / 3600),
                (long long)(secs / 60 % 60), (long long)(secs % 60));
  return buf;
}

std::string ReportFigures::FailingStep(const UnitRecord &unit) {
  if (unit.firstFailingStep >= 0 && size_t(unit.firstFailingStep) < unit.steps.size())
    return unit.steps[size_t(unit.firstFailingStep)].exportName;
  for (const auto &s : unit.steps)
    if (!s.passed) return s.exportName;
  return unit.failureReason.empty() ? "(no failing step recorded)" : unit.failureReason;
}

ReportFigures::ReportFigures(const std::vector<UnitRecord> &units) : units_(units) {
  // Tests of each serial number in the order they started; a unit without a serial number
  // stands alone.
  std::map<std::string, std::vector<size_t>> bySerial;
  for (size_t i = 0; i < units.size(); ++i) {
    const auto &u = units[i];
    if (u.verdict == UnitVerdict::Incomplete) {
      ++incomplete_;
      continue;
    }
    bySerial[u.serialNumber.empty() ? "\x01unit " + u.unitId + std::to_string(i) : u.serialNumber].push_back(i);
  }
  std::map<std::string, YieldRow> product, station, day;
  for (auto &[serial, tests] : bySerial) {
    std::stable_sort(tests.begin(), tests.end(),
                     [&](size_t a, size_t b) { return units[a].startedUs < units[b].startedUs; });
    const auto &first = units[tests.front()];
    bool firstPass = first.verdict == UnitVerdict::Pass;
    bool finalPass = units[tests.back()].verdict == UnitVerdict::Pass;
    int64_t n = int64_t(tests.size());
    Count(line_, "line", n, firstPass, finalPass);
    Count(product[first.productType], first.productType.empty() ? "(none)" : first.productType, n, firstPass, finalPass);
    Count(station[StationKey(first)], StationKey(first), n, firstPass, finalPass);
    Count(day[DayKey(first.startedUs)], DayKey(first.startedUs), n, firstPass, finalPass);
    if (tests.size() > 1) retests_.push_back({serial, tests});
  }
  byProduct_ = Rows(product);
  byStation_ = Rows(station);
  byDay_ = Rows(day);
  std::stable_sort(retests_.begin(), retests_.end(),
                   [](const Retest &a, const Retest &b) { return a.tests.size() > b.tests.size(); });

  std::map<std::string, int64_t> stepFails, itemFails;
  std::map<std::string, ItemStatistics> items;
  for (const auto &u : units) {
    bool counted = u.verdict != UnitVerdict::Incomplete;
    if (counted && u.verdict == UnitVerdict::Fail) ++stepFails[FailingStep(u)];
    std::set<std::string> failedHere;
    for (const auto &item : u.items) {
      if (counted && !item.passed) failedHere.insert(item.name);
      if (!item.valueNumber || !std::isfinite(*item.valueNumber)) continue;
      auto &s = items[item.name + '\x1f' + item.lower + '\x1f' + item.upper];
      if (s.values.empty()) {
        s.name = item.name;
        s.lowerText = item.lower;
        s.upperText = item.upper;
        s.lower = item.lowerNumber;
        s.upper = item.upperNumber;
      }
      s.values.push_back(*item.valueNumber);
      if (!item.passed) ++s.failed;
    }
    for (const auto &name : failedHere) ++itemFails[name];
  }
  failingSteps_ = Pareto(stepFails);
  failingItems_ = Pareto(itemFails);
  for (auto &[key, s] : items) {
    double n = double(s.values.size());
    double sum = 0;
    for (double v : s.values) sum += v;
    s.mean = sum / n;
    double sq = 0;
    for (double v : s.values) sq += (v - s.mean) * (v - s.mean);
    s.sd = s.values.size() > 1 ? std::sqrt(sq / (n - 1)) : 0.0;
    for (double v : s.values)
      if ((s.lower && v < *s.lower) || (s.upper && v > *s.upper)) ++s.outside;
    if (s.sd > 0 && (s.lower || s.upper)) {
      double upper = s.upper ? (*s.upper - s.mean) / (3 * s.sd) : INFINITY;
      double lower = s.lower ? (s.mean - *s.lower) / (3 * s.sd) : INFINITY;
      s.cpk = std::min(upper, lower);
    }
    items_.push_back(std::move(s));
  }
}

} // namespace qrx::web
