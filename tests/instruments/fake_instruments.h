// What a test sees of the fake instrument library: one library that is both a VISA and an
// instrument library, built from published interfaces and the public header alone. Each copy
// exports FakeVisaControlBlock() and FakeInstrumentControlBlock(), returning its own blocks.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Changed by the test only while no query runs; the fake's own calls hold its lock.
struct FakeVisaControl {
  // "*IDN?" answers by resource (a line end is appended); viFindRsrc lists these resources,
  // then the listed descriptions.
  std::map<std::string, std::string> answers;
  std::vector<std::string> listed;
  // Functions (e.g. "viClear") that return the status instead of doing their work.
  std::map<std::string, int32_t> failing;
  // Open sessions (resource managers, instruments and find lists): id -> resource.
  std::map<uint32_t, std::string> sessions;
  // Calls so far, one a line: "viOpen GPIB0::14::0::INSTR 0 3000", "viQueryf *IDN?\n %t", ...
  std::string calls;
};

struct FakeInstrumentControl {
  int status = 0;         // what UnloadStatus answers
  int lastTypeCode = -1;  // of the last GetQRXCalInstrInterface
  int live = 0;           // objects not yet released
  std::string calls;      // "status" and "release", one a line
};
