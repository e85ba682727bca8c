// Loading identity pools into a store and counting their values by state (for qrx-ids).
#pragma once

#include "sql_connection.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qrx::store {

struct PoolLoadResult {
  int64_t poolId = 0;
  int64_t added = 0;   // new values
  int64_t skipped = 0; // values already in the store (another pool, or recorded on a unit)
  std::string firstValue, lastValue;
};

// At most this many values per loaded range, so one command cannot fill a store by mistake.
constexpr int64_t kMaxValuesPerLoad = 2000000;

// IMEI serials from..to (inclusive) under an 8-digit TAC.
bool AddImeiPool(SqlConnection &db, const std::string &tac, int64_t from, int64_t to,
                 PoolLoadResult *result, std::string *error);
// MAC device parts from..to (inclusive) inside an OUI block.
bool AddMacPool(SqlConnection &db, const std::string &oui, const std::string &from,
                const std::string &to, PoolLoadResult *result, std::string *error);
// count serial numbers from a pattern, the counter starting at from; from < 0 continues after
// the last counter loaded for the same pattern (or starts at 1).
bool AddSerialPool(SqlConnection &db, const std::string &pattern, int64_t from, int64_t count,
                   PoolLoadResult *result, std::string *error);

// Values left behind by hosts that died mid-unit (kill, power cut) or could not reach the store
// when their unit ended: reserved values untouched for olderThanUs go back to free; written but
// unverified ones are burned (a device may carry them). Verified values stay.
bool RecoverStaleIdentities(SqlConnection &db, int64_t olderThanUs, int64_t *freed,
                            int64_t *burned, std::string *error);

struct PoolCounts {
  int64_t poolId = 0; // 0: values recorded outside every pool
  std::string kind, description;
  int64_t free = 0, reserved = 0, written = 0, verified = 0, burned = 0;
};
bool ReportPools(SqlConnection &db, std::vector<PoolCounts> *pools, std::string *error);

} // namespace qrx::store
