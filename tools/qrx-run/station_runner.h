// One station of a qrx-run on its own thread: started in its turn, unit after unit through
// the sequence, ended in its turn.
#pragma once

#include "interface_library.h"
#include "station_plan.h"
#include "station_report.h"
#include "station_turns.h"

#include "../store/unit_record.h"

namespace qrx::tools {

// ids may be null (no pool identities).
void RunStation(const InterfaceLibrary &lib, const StationPlan &plan, const RunOptions &options,
                store::IdentitySource *ids, StationTurns *turns, StationReport *report);

} // namespace qrx::tools
