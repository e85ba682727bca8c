// The unit (the device under test) a station is working on, as its journal sees it: its id,
// its serial number once known, which sequence-beginning exports it has seen and whether
// anything of it failed, for the verdict inferred when the host gives none.
#pragma once

#include "interface/export_catalogue.h"

#include <bitset>
#include <cstdint>
#include <random>
#include <string>

namespace qrx::journal {

class UnitTracker {
public:
  UnitTracker();

  bool IsOpen() const { return open_; }
  const std::string &Id() const { return id_; }
  const std::string &Serial() const { return serial_; }
  bool Explicit() const { return explicit_; }
  int64_t FirstFailingCall() const { return firstFailingCall_; }
  // Fail when a test item or a call of the unit failed, else pass.
  bool InferredPass() const { return !itemFailed_ && firstFailingCall_ < 0; }

  // Opens a unit with a new id (a version 4 UUID in lower case).
  void Begin(const std::string &serial, bool isExplicit);
  void End() { open_ = false; }
  void SetSerial(const std::string &serial) { serial_ = serial; }

  void NoteFailedCall(int64_t seq) {
    if (firstFailingCall_ < 0) firstFailingCall_ = seq;
  }
  void NoteFailedItem() { itemFailed_ = true; }
  // Marks the export at exportIndex as seen in the open unit; true when it had been already.
  bool SeenBefore(size_t exportIndex);

private:
  bool open_ = false;
  bool explicit_ = false;
  bool itemFailed_ = false;
  int64_t firstFailingCall_ = -1;
  std::string id_;
  std::string serial_;
  std::bitset<kExportCount> seen_;
  std::mt19937_64 random_;
};

} // namespace qrx::journal
