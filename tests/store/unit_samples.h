// Unit records for store tests and benchmarks: random unit ids and units of any size with
// every field set.
#pragma once

#include "unit_record.h"

#include "../support/temp_folder.h"

#include <string>

namespace qrx::testing {

std::string NewUnitId(); // random version-4 UUID, lower case
int64_t WallNowUs();
// A finished unit of the given station with items test items spread over ten steps.
store::UnitRecord SampleUnit(const std::string &unitId, int station, int items);
// The header a host hands to BeginUnit for the same unit.
store::UnitRecord HeaderOf(const store::UnitRecord &unit);

// A temporary folder removed with everything in it at the end of the scope.
struct TempFolder : test::TempFolder {
  TempFolder() : test::TempFolder("store") {}
  std::string Path() const { return root_.generic_string(); }
};

} // namespace qrx::testing
