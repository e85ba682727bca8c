// Unit records as JSON: one object per unit, the field names of the record, for JSON-lines
// files that tools exchange and for the pages that show units.
#pragma once

#include "store/unit_record.h"

#include <nlohmann/json.hpp>

#include <string>

namespace qrx::web {

nlohmann::json UnitToJson(const qrx::store::UnitRecord &unit);
// False with *error set when the object is not a unit record (a missing unit id, a field of the
// wrong type); absent optional fields keep their defaults.
bool UnitFromJson(const nlohmann::json &object, qrx::store::UnitRecord *unit, std::string *error);

const char *UnitVerdictText(qrx::store::UnitVerdict verdict); // "incomplete", "pass", "fail"
bool ParseUnitVerdict(const std::string &text, qrx::store::UnitVerdict *verdict);

} // namespace qrx::web
