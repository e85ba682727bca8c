// Writing unit records into the store's tables and reading them back, the same on both engines.
#pragma once

#include "sql_connection.h"
#include "unit_record.h"

#include <optional>
#include <string>
#include <vector>

namespace qrx::store {

// Records the unit as started (verdict "incomplete"); leaves a unit already there untouched, so
// a late or repeated header never overwrites a whole record. Runs in the caller's transaction.
bool WriteUnitHeader(SqlConnection &connection, const UnitRecord &header);

// Replaces whatever the store holds of the unit by the whole record (an upsert by unit id:
// writing the same unit twice leaves one copy). Runs in the caller's transaction.
bool WriteWholeUnit(SqlConnection &connection, const UnitRecord &unit);
// The same for several units at once, their rows sent together.
bool WriteWholeUnits(SqlConnection &connection, const std::vector<const UnitRecord *> &units);

// The unit with all its steps, items, identities and downloads; nullopt when absent or on error.
std::optional<UnitRecord> ReadUnit(SqlConnection &connection, const std::string &unitId);

// Unit ids recorded for a serial number, oldest first.
std::vector<std::string> FindUnitsBySerial(SqlConnection &connection,
                                           const std::string &serialNumber);

// "2026-12-08": the UTC day a time stamp falls on, for lookups by product, station and day.
std::string UtcDay(int64_t wallUs);

} // namespace qrx::store
