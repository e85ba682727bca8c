// Units of a made-up line for demonstrations and tests: seeded, with measurements around
// plausible values, occasional failures and retests.
#pragma once

#include "store/unit_record.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qrx::web {

struct SyntheticItem {
  const char *name;
  double mean, sd, lower, upper;
};

struct SyntheticStep {
  const char *exportName;
  const char *arguments;
  std::vector<SyntheticItem> items;
};

class SyntheticLine {
public:
  explicit SyntheticLine(uint64_t seed);

  static const std::vector<SyntheticStep> &Steps();
  static std::string UnitId(std::mt19937_64 &random); // a version 4 UUID

  // One test of a unit, started at startedUs; items drawn around their means, a unit fails at
  // its first item outside the limits (the steps after it are not run).
  qrx::store::UnitRecord Test(const std::string &serial, int station, int64_t startedUs);
  // A history of n units over the stations, starting at startUs: failed units are retested
  // once more (a few pass then); an occasional unit is left incomplete.
  std::vector<qrx::store::UnitRecord> History(size_t n, int stations, int64_t startUs);

  // Draws one item's value (for hosts feeding a page step by step).
  double Draw(const SyntheticItem &item);
  std::mt19937_64 &Random() { return random_; }

private:
  std::mt19937_64 random_;
};

std::string FormatValue(double value); // "%.2f", as the library logs reals

} // namespace qrx::web
