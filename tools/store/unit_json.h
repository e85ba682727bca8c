// Unit records as JSON objects whose keys are the record's field names: the JSON-lines files
// qrx-run writes and qrx-report reads, the units the live page serves, and the local spool.
#pragma once

#include "unit_record.h"

#include <nlohmann/json.hpp>

#include <string>

namespace qrx::store {

// Absent optional numbers are null.
nlohmann::json UnitToJson(const UnitRecord &unit);
// The record as one line of JSON (without the line end); bytes that are not UTF-8 (a device
// answering garbage) are replaced, so a stray byte never loses a unit.
std::string UnitToJsonLine(const UnitRecord &unit);
// False with *error set (when given) and *unit untouched when the object is not a unit record (a
// missing unit id, a field of the wrong type, an unknown verdict); absent fields keep their
// defaults. Also reads the names older qrx-run files used ("station", "sequenceSha256",
// "export", "step") and the spool's older elements, which were arrays in field order.
bool UnitFromJson(const nlohmann::json &object, UnitRecord *unit, std::string *error);

} // namespace qrx::store
