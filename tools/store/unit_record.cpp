// Names of unit verdicts as the store and the reports write them.
#include "unit_record.h"

namespace qrx::store {

const char *VerdictName(UnitVerdict verdict) {
  switch (verdict) {
  case UnitVerdict::Pass: return "pass";
  case UnitVerdict::Fail: return "fail";
  case UnitVerdict::Incomplete: break;
  }
  return "incomplete";
}

bool ParseVerdict(const std::string &name, UnitVerdict *verdict) {
  if (name == "pass")
    *verdict = UnitVerdict::Pass;
  else if (name == "fail")
    *verdict = UnitVerdict::Fail;
  else if (name == "incomplete")
    *verdict = UnitVerdict::Incomplete;
  else
    return false;
  return true;
}

} // namespace qrx::store
