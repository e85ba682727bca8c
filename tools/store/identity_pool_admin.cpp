// Identity pool loading: one transaction per range, values generated and inserted in chunks.
#include "identity_pool_admin.h"

#include "identity_formats.h"

#include <algorithm>
#include <chrono>
#include <functional>

namespace qrx::store {

namespace {

using Generator = std::function<bool(int64_t index, std::string *value, std::string *error)>;

bool LoadPool(SqlConnection &db, const std::string &kind, const std::string &description,
              const std::string &pattern, int64_t firstCounter, int64_t count,
              const Generator &generate, PoolLoadResult *result, std::string *error) {
  if (count <= 0 || count > kMaxValuesPerLoad) {
    if (error)
      *error = "a range holds 1.." + std::to_string(kMaxValuesPerLoad) + " values, not " +
               std::to_string(count);
    return false;
  }
  // Make every value before touching the store, so a bad range changes nothing.
  std::string value;
  if (!generate(0, &result->firstValue, error) || !generate(count - 1, &result->lastValue, error))
    return false;
  std::string generateError;
  const bool ok = InTransaction(db, [&] {
    if (db.Dialect() == SqlDialect::Postgres &&
        !db.Exec("LOCK TABLE identity_pools IN EXCLUSIVE MODE"))
      return false;
    const auto last = QueryScalar(db, "SELECT COALESCE(MAX(pool_id), 0) FROM identity_pools");
    if (!last)
      return false;
    result->poolId = std::stoll(*last) + 1;
    const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    if (!db.Exec("INSERT INTO identity_pools (pool_id, kind, description, pattern, "
                 "first_counter, last_counter, created_us) VALUES ($1,$2,$3,$4,$5,$6,$7)",
                 {result->poolId, kind, description, pattern, firstCounter,
                  firstCounter + count - 1, now}))
      return false;
    constexpr int64_t kChunk = 5000;
    std::vector<std::vector<SqlValue>> rows;
    for (int64_t first = 0; first < count; first += kChunk) {
      rows.clear();
      for (int64_t i = first; i < std::min(count, first + kChunk); ++i) {
        if (!generate(i, &value, &generateError))
          return false;
        rows.push_back({kind, value, result->poolId, i, std::string("free"), int64_t{0}});
      }
      if (!InsertRows(db, "identity_values",
                      {"kind", "value", "pool_id", "ordinal", "state", "updated_us"}, rows,
                      " ON CONFLICT (kind, value) DO NOTHING"))
        return false;
    }
    const auto added = QueryScalar(db, "SELECT COUNT(*) FROM identity_values WHERE pool_id = $1",
                                   {result->poolId});
    if (!added)
      return false;
    result->added = std::stoll(*added);
    result->skipped = count - result->added;
    return true;
  });
  if (!ok && error)
    *error = generateError.empty() ? "cannot load the " + kind + " pool: " + db.Error()
                                   : generateError;
  return ok;
}

} // namespace

bool AddImeiPool(SqlConnection &db, const std::string &tac, int64_t from, int64_t to,
                 PoolLoadResult *result, std::string *error) {
  std::string probe;
  if (!MakeImei(tac, from, &probe, error) || !MakeImei(tac, to, &probe, error))
    return false;
  if (to < from) {
    if (error)
      *error = "the IMEI range ends before it starts";
    return false;
  }
  return LoadPool(
      db, "imei", "IMEI TAC " + tac + " serials " + std::to_string(from) + ".." + std::to_string(to),
      "", from, to - from + 1,
      [&](int64_t i, std::string *value, std::string *e) { return MakeImei(tac, from + i, value, e); },
      result, error);
}

bool AddMacPool(SqlConnection &db, const std::string &ouiText, const std::string &fromText,
                const std::string &toText, PoolLoadResult *result, std::string *error) {
  uint32_t oui = 0, from = 0, to = 0;
  if (!ParseOui(ouiText, &oui, error) || !ParseMacDevicePart(fromText, &from, error) ||
      !ParseMacDevicePart(toText, &to, error))
    return false;
  if (to < from) {
    if (error)
      *error = "the MAC range ends before it starts";
    return false;
  }
  return LoadPool(
      db, "mac", "MAC " + FormatMac(oui, from) + ".." + FormatMac(oui, to), "", from,
      int64_t{to} - from + 1,
      [&](int64_t i, std::string *value, std::string *) {
        *value = FormatMac(oui, static_cast<uint32_t>(from + i));
        return true;
      },
      result, error);
}

bool AddSerialPool(SqlConnection &db, const std::string &patternText, int64_t from,
                   int64_t count, PoolLoadResult *result, std::string *error) {
  SerialPattern pattern;
  if (!ParseSerialPattern(patternText, &pattern, error))
    return false;
  if (from < 0) {
    const auto last = QueryScalar(
        db, "SELECT MAX(last_counter) FROM identity_pools WHERE kind = 'sn' AND pattern = $1",
        {patternText});
    if (!db.Error().empty()) {
      if (error)
        *error = "cannot read the serial-number pools: " + db.Error();
      return false;
    }
    from = last ? std::stoll(*last) + 1 : 1;
  }
  return LoadPool(
      db, "sn",
      "SN " + patternText + " counters " + std::to_string(from) + ".." +
          std::to_string(from + count - 1),
      patternText, from, count,
      [&](int64_t i, std::string *value, std::string *e) {
        return ExpandSerialPattern(pattern, from + i, value, e);
      },
      result, error);
}

bool RecoverStaleIdentities(SqlConnection &db, int64_t olderThanUs, int64_t *freed,
                            int64_t *burned, std::string *error) {
  const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  const int64_t before = now - std::max<int64_t>(olderThanUs, 0);
  std::vector<SqlRow> freedRows, burnedRows;
  const bool ok = InTransaction(db, [&] {
    return db.Exec("UPDATE identity_values SET state = 'free', unit_id = NULL, updated_us = $2 "
                   "WHERE state = 'reserved' AND updated_us < $1 RETURNING value",
                   {before, now}, &freedRows) &&
           db.Exec("UPDATE identity_values SET state = 'burned', updated_us = $2 "
                   "WHERE state = 'written' AND updated_us < $1 RETURNING value",
                   {before, now}, &burnedRows);
  });
  if (!ok) {
    if (error)
      *error = "cannot recover stale identities: " + db.Error();
    return false;
  }
  *freed = static_cast<int64_t>(freedRows.size());
  *burned = static_cast<int64_t>(burnedRows.size());
  return true;
}

bool ReportPools(SqlConnection &db, std::vector<PoolCounts> *pools, std::string *error) {
  std::vector<SqlRow> rows;
  if (!db.Exec("SELECT p.pool_id, p.kind, p.description, v.state, COUNT(v.value) "
               "FROM identity_pools p LEFT JOIN identity_values v ON v.pool_id = p.pool_id "
               "GROUP BY p.pool_id, p.kind, p.description, v.state "
               "UNION ALL SELECT 0, kind, 'outside every pool', state, COUNT(*) "
               "FROM identity_values WHERE pool_id IS NULL GROUP BY kind, state "
               "ORDER BY 1, 2",
               {}, &rows)) {
    if (error)
      *error = "cannot read the identity pools: " + db.Error();
    return false;
  }
  pools->clear();
  for (const SqlRow &r : rows) {
    const int64_t id = std::stoll(r[0].value_or("0"));
    const std::string kind = r[1].value_or("");
    if (pools->empty() || pools->back().poolId != id || pools->back().kind != kind)
      pools->push_back({id, kind, r[2].value_or("")});
    PoolCounts &p = pools->back();
    const std::string state = r[3].value_or("");
    const int64_t n = std::stoll(r[4].value_or("0"));
    if (state == "free")
      p.free += n;
    else if (state == "reserved")
      p.reserved += n;
    else if (state == "written")
      p.written += n;
    else if (state == "verified")
      p.verified += n;
    else if (state == "burned")
      p.burned += n;
  }
  return true;
}

} // namespace qrx::store
