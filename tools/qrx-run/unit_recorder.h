// The record of the unit a station is testing, filled as its steps run: steps, test items,
// identities written and read back, downloads, verdict. Takes pool identities (@imei, @mac,
// @sn) from an IdentitySource and hands the finished record to the sinks.
#pragma once

#include "../store/unit_record.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qrx::tools {

class UnitRecorder {
public:
  // Any of sinks may be left out; ids may be null (then @imei, @mac and @sn cannot be used).
  UnitRecorder(std::vector<store::UnitSink *> sinks, store::IdentitySource *ids);

  // Starts a unit with the header fields of header; a new unit id when it has none.
  void Begin(const store::UnitRecord &header);
  bool Active() const { return active_; }

  // A step starts and ends; items logged meanwhile belong to it.
  int BeginStep(const std::string &exportName);
  void EndStep(int32_t result, bool passed, const std::string &arguments, const std::string &why);

  void AddItem(store::TestItemRecord item); // its stepIndex is set to the running step

  // The unit's value of a pool (kind "imei", "mac", "sn"): reserved at the first use in the
  // unit and checked that it may be programmed. False with *error set when there is none.
  bool PoolValue(const std::string &kind, std::string *value, std::string *error);
  // The value already reserved for this unit, without reserving one.
  bool ReservedValue(const std::string &kind, std::string *value) const;

  // Before an identity is written: false with *error when the store refuses the value
  // (already verified on another unit) or a sink cannot record the unit now.
  bool MayWrite(const std::string &kind, const std::string &value, std::string *error);
  // After an identity export: records it; a written pool value is marked written, a read-back
  // of the unit's written pool value is marked verified. False with *error when the store
  // could not record that.
  bool Identity(const std::string &kind, bool write, const std::string &value, int32_t result,
                std::string *error);

  void Prompted(const std::string &answer); // the operator's barcode: the unit's serial number
  void AddDownload(store::DownloadRecord download);

  // Ends the unit: pass when every step passed, and hands the record to the sinks and the end
  // to the identity pools.
  const store::UnitRecord &End();
  const store::UnitRecord &Record() const { return unit_; }

  static std::string NewUnitId(); // random version 4 UUID, lower case
  static int64_t WallMicros();
  static int64_t SteadyMicros();

private:
  std::vector<store::UnitSink *> sinks_;
  store::IdentitySource *ids_;
  store::UnitRecord unit_;
  bool active_ = false;
  bool serialFromPrompt_ = false;
  int step_ = -1;          // running step, -1 between steps
  int64_t stepStarted_ = 0; // steady clock
  std::map<std::string, std::string> pool_;    // kind -> value reserved for this unit
  std::map<std::string, bool> poolWritten_;    // kind -> the pool value was written
};

} // namespace qrx::tools
