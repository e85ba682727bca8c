// Where reports read their units from: a URL naming a results store or a file of units.
#pragma once

#include "store/unit_record.h"

#include <string>
#include <vector>

namespace qrx::web {

// Reads every unit the source holds, in the source's order. A results store: "postgresql://...",
// "sqlite:PATH" or a file ending in .db/.sqlite/.sqlite3 (units oldest first). Otherwise a
// JSON-lines file of units ("units.jsonl", "file:units.jsonl" or "jsonl:units.jsonl"), one unit
// record per line as UnitToJson writes it (qrx-run --json); blank lines are skipped. On failure nothing is returned: an empty
// vector, with *error saying which line and why.
std::vector<qrx::store::UnitRecord> LoadUnits(const std::string &url, std::string *error);

// Writes units as JSON lines (temp file beside, then rename). False with *error on failure.
bool SaveUnits(const std::string &path, const std::vector<qrx::store::UnitRecord> &units,
               std::string *error);

} // namespace qrx::web
