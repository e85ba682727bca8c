// The unit a station is testing, as qrx-run needs it while the steps run: the id the library's
// journal records it under, its serial number once known, and the pool identities (@imei,
// @mac, @sn) it draws, checks and marks. The record itself is the journal's: the collector
// running beside the stations builds it.
#pragma once

#include "../store/unit_record.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace qrx::tools {

class StationUnit {
public:
  // ids may be null (then @imei, @mac and @sn cannot be used). recordProblem says why the
  // units cannot be recorded now ("" when they can): nothing is programmed meanwhile.
  StationUnit(store::IdentitySource *ids, std::function<std::string()> recordProblem);

  // A new unit under unitId (the journal's; a fresh id when the station keeps no journal).
  void Begin(const std::string &unitId, const std::string &serial);
  const std::string &Id() const { return id_; }
  const std::string &Serial() const { return serial_; }

  // The unit's value of a pool (kind "imei", "mac", "sn"): reserved at the first use in the
  // unit and checked that it may be programmed. False with *error set when there is none.
  bool PoolValue(const std::string &kind, std::string *value, std::string *error);
  // The value already reserved for this unit, without reserving one.
  bool ReservedValue(const std::string &kind, std::string *value) const;

  // Before an identity is written: false with *error when the store refuses the value
  // (already verified on another unit) or the unit's record cannot be kept now.
  bool MayWrite(const std::string &kind, const std::string &value, std::string *error);
  // After an identity export: a written pool value is marked written, a read-back of the
  // unit's written pool value is marked verified. False with *error when the store could not
  // record that.
  bool Identity(const std::string &kind, bool write, const std::string &value, int32_t result,
                std::string *error);

  void Prompted(const std::string &answer); // the operator's barcode: the unit's serial number

  // The unit ended: the identity pools take back or burn what it did not use.
  void End(bool passed);

  static std::string NewUnitId(); // random version 4 UUID, lower case

private:
  store::IdentitySource *ids_;
  std::function<std::string()> recordProblem_;
  std::string id_, serial_;
  bool serialFromPrompt_ = false;
  std::map<std::string, std::string> pool_; // kind -> value reserved for this unit
  std::map<std::string, bool> poolWritten_; // kind -> the pool value was written
};

} // namespace qrx::tools
