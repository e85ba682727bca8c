// What every station thread of a qrx-run shares, and which station and unit a thread is
// testing.
#pragma once

namespace qrx::cfx {
class UnitValidator;
}

namespace qrx::tools {

class RunCollector;
class StationUnit;
class WebLine;

struct LineServices {
  WebLine *web = nullptr;                        // the live page, with --web
  RunCollector *collector = nullptr;             // records the units from the journals
  const cfx::UnitValidator *validator = nullptr; // the MES's word before testing (--cfx-validate)
  bool testWithoutAnswer = false;                // --cfx-no-answer test
};
LineServices &Line();

extern thread_local int t_station;          // 1 for the first station, 0 off the stations
extern thread_local StationUnit *t_unit;    // the unit this station thread is testing

} // namespace qrx::tools
