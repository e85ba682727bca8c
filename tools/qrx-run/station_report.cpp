#include "station_report.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace qrx::tools {

void StationReport::AddUnit(const UnitSummary &u) {
  ++units;
  unitsPassed += u.passed;
  lastPassed = u.passed;
  lastUnits.push_back(u);
  if (lastUnits.size() > kLastUnits) lastUnits.pop_front();
  if (!u.passed) {
    failures.push_back(u);
    if (failures.size() > kFailuresKept) {
      failures.pop_front();
      ++failuresDropped;
    }
  }
}

std::vector<UnitSummary> StationReport::Listed() const {
  std::map<int, UnitSummary> byNumber;
  for (const auto &u : failures) byNumber[u.number] = u;
  for (const auto &u : lastUnits) byNumber[u.number] = u;
  std::vector<UnitSummary> out;
  for (auto &[number, u] : byNumber) out.push_back(u);
  return out;
}

int PrintLineSummary(const std::vector<StationPlan> &plans, const std::vector<StationReport> &reports) {
  int failed = 0;
  std::printf("\n%-8s %-8s %-28s %6s %6s %7s %7s %8s\n", "station", "product", "sequence", "units", "steps",
              "passed", "failed", "time");
  for (size_t i = 0; i < plans.size(); ++i) {
    const StationReport &r = reports[i];
    std::string name = plans[i].sequence->path;
    if (name.size() > 28) name = "..." + name.substr(name.size() - 25);
    std::printf("S%-7d %-8s %-28s %6lld %6lld %7d %7d %7.2fs\n", plans[i].number, plans[i].product.c_str(),
                name.c_str(), static_cast<long long>(r.units), static_cast<long long>(r.steps), r.passed,
                r.failed, r.seconds);
    failed += r.failed;
  }
  std::printf("\n");
  for (size_t i = 0; i < plans.size(); ++i) {
    const StationReport &r = reports[i];
    if (!r.initialised)
      std::printf("S%-3d InitQRXInterface returned %d: the station could not start\n", plans[i].number,
                  r.initResult);
    const std::vector<UnitSummary> listed = r.Listed();
    if (r.units > static_cast<int64_t>(listed.size()))
      std::printf("S%-3d %lld earlier passed unit(s)%s not listed; the results store has every unit\n",
                  plans[i].number, static_cast<long long>(r.units - static_cast<int64_t>(listed.size()) - r.failuresDropped),
                  r.failuresDropped ? (" and " + std::to_string(r.failuresDropped) + " earlier failed unit(s)").c_str() : "");
    for (const UnitSummary &u : listed) {
      std::string line = "S" + std::to_string(plans[i].number);
      line.resize(5, ' ');
      line += "unit " + std::to_string(u.number);
      line.resize(std::max<size_t>(line.size() + 1, 14), ' ');
      line += std::string(u.passed ? "PASS" : "FAIL") + " SN " + (u.serial.empty() ? "-" : u.serial);
      if (!u.passed) {
        line.resize(std::max<size_t>(line.size() + 1, 43), ' ');
        line += u.failingStep + "  [" + u.why + "]";
      }
      std::printf("%s\n", line.c_str());
    }
  }
  return failed;
}

} // namespace qrx::tools
