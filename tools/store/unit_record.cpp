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

} // namespace qrx::store
