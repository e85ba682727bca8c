// The measured quantities of each simulated test step: a name, a plausible nominal value with
// its spread, default limits, and the staged arguments that override the limits.
#pragma once

#include <string>
#include <vector>

namespace qrx::sim {

struct ItemProfile {
  const char *quantity; // appended to the step name: "GSM_TxCal_900 TxPowerError"
  double nominal;
  double sigma;
  double lower;
  double upper;
  const char *lowerKey = nullptr; // staged argument that gives the lower limit
  const char *upperKey = nullptr; // staged argument that gives the upper limit
  const char *symmetricKey = nullptr; // staged argument x giving the limits -x..x
  const char *skipKey = nullptr;  // staged argument that, when non-zero, skips the item
};

class StepProfiles {
public:
  // Items measured by a library function; empty for set-up and tear-down steps.
  static std::vector<ItemProfile> For(const std::string &function);
};

} // namespace qrx::sim
