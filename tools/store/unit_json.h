// A unit record as JSON, the form in which units wait in the local spool.
#pragma once

#include "unit_record.h"

#include <optional>
#include <string>

namespace qrx::store {

std::string UnitToJson(const UnitRecord &unit);
// nullopt when the text is not a unit record.
std::optional<UnitRecord> UnitFromJson(const std::string &text);

} // namespace qrx::store
