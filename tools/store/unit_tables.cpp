// Unit records in the tables units, steps, items, identities and downloads.
#include "unit_tables.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <iterator>

namespace qrx::store {

namespace {

const char *const kUnitColumns =
    "unit_id, serial_number, product_type, business_config, station_index, thread_index, "
    "host_name, sequence_file, sequence_hash, started_us, ended_us, start_day, verdict, "
    "first_failing_step, failure_reason, step_count, item_count, identity_count, download_count";
constexpr size_t kUnitColumnCount = 19;

std::vector<SqlValue> UnitValues(const UnitRecord &u, bool whole) {
  return {u.unitId,
          u.serialNumber,
          u.productType,
          u.businessConfig,
          int64_t{u.stationIndex},
          int64_t{u.threadIndex},
          u.hostName,
          u.sequenceFile,
          u.sequenceHash,
          int64_t{u.startedUs},
          int64_t{whole ? u.endedUs : 0},
          UtcDay(u.startedUs),
          std::string(VerdictName(whole ? u.verdict : UnitVerdict::Incomplete)),
          int64_t{whole ? u.firstFailingStep : -1},
          whole ? u.failureReason : std::string(),
          int64_t(whole ? u.steps.size() : 0),
          int64_t(whole ? u.items.size() : 0),
          int64_t(whole ? u.identities.size() : 0),
          int64_t(whole ? u.downloads.size() : 0)};
}

std::string Placeholders(size_t n) {
  std::string s;
  for (size_t i = 1; i <= n; ++i)
    s += (i > 1 ? ",$" : "$") + std::to_string(i);
  return s;
}

SqlValue Number(const std::optional<double> &v) { return v ? SqlValue{*v} : SqlValue{}; }

int64_t Int(const std::optional<std::string> &s) {
  if (!s || s->empty())
    return 0;
  try {
    return std::stoll(*s);
  } catch (...) {
    return 0;
  }
}

std::optional<double> Double(const std::optional<std::string> &s) {
  if (!s)
    return std::nullopt;
  try {
    return std::stod(*s);
  } catch (...) {
    return std::nullopt;
  }
}

std::string Text(const std::optional<std::string> &s) { return s ? *s : std::string(); }

// PostgreSQL answers a boolean-like INTEGER as "1"/"0", SQLite the same: 0 is false.
bool Flag(const std::optional<std::string> &s) { return Int(s) != 0; }

} // namespace

std::string UtcDay(int64_t wallUs) {
  using namespace std::chrono;
  const year_month_day date{floor<days>(sys_time<microseconds>(microseconds(wallUs)))};
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", int(date.year()), unsigned(date.month()),
                unsigned(date.day()));
  return buffer;
}

bool WriteUnitHeader(SqlConnection &connection, const UnitRecord &header) {
  const auto values = UnitValues(header, false);
  return connection.Exec(std::string("INSERT INTO units (") + kUnitColumns + ") VALUES (" +
                             Placeholders(values.size()) + ") ON CONFLICT (unit_id) DO NOTHING",
                         values);
}

bool WriteWholeUnit(SqlConnection &connection, const UnitRecord &unit) {
  return WriteWholeUnits(connection, {&unit});
}

bool WriteWholeUnits(SqlConnection &connection, const std::vector<const UnitRecord *> &given) {
  // A unit named twice keeps its last record, as two upserts one after the other would.
  std::vector<const UnitRecord *> units;
  units.reserve(given.size());
  for (size_t i = 0; i < given.size(); ++i) {
    bool later = false;
    for (size_t j = i + 1; j < given.size() && !later; ++j)
      later = given[j]->unitId == given[i]->unitId;
    if (!later)
      units.push_back(given[i]);
  }
  if (units.empty())
    return true;

  // What the store held of these units goes; a server gets one statement per table.
  const bool server = connection.Dialect() == SqlDialect::Postgres;
  for (const char *table : {"steps", "items", "identities", "downloads"}) {
    if (server) {
      std::vector<SqlValue> ids;
      for (const UnitRecord *u : units)
        ids.emplace_back(u->unitId);
      if (!connection.Exec(std::string("DELETE FROM ") + table + " WHERE unit_id IN (" +
                               Placeholders(ids.size()) + ")",
                           ids))
        return false;
    } else {
      const std::string sql = std::string("DELETE FROM ") + table + " WHERE unit_id = $1";
      for (const UnitRecord *u : units)
        if (!connection.Exec(sql, {u->unitId}))
          return false;
    }
  }
  static const std::string update = [] {
    std::string sql = " ON CONFLICT (unit_id) DO UPDATE SET ";
    std::string columns = kUnitColumns;
    bool first = true;
    for (size_t start = 0; start < columns.size();) {
      size_t end = columns.find(',', start);
      if (end == std::string::npos)
        end = columns.size();
      std::string name = columns.substr(start, end - start);
      name.erase(0, name.find_first_not_of(' '));
      if (name != "unit_id") {
        sql += (first ? "" : ", ") + name + " = excluded." + name;
        first = false;
      }
      start = end + 1;
    }
    return sql;
  }();
  static const std::string upsert = std::string("INSERT INTO units (") + kUnitColumns +
                                    ") VALUES (" + Placeholders(kUnitColumnCount) + ")" + update;
  if (server) {
    // One statement for many units: a server's round trip costs more than its rows. A
    // statement takes at most 65535 parameters.
    constexpr size_t kUnitsPerStatement = 1000;
    for (size_t first = 0; first < units.size(); first += kUnitsPerStatement) {
      std::string sql = std::string("INSERT INTO units (") + kUnitColumns + ") VALUES ";
      std::vector<SqlValue> values;
      const size_t end = std::min(units.size(), first + kUnitsPerStatement);
      values.reserve((end - first) * kUnitColumnCount);
      for (size_t i = first; i < end; ++i) {
        sql += values.empty() ? "(" : ",(";
        for (size_t c = 0; c < kUnitColumnCount; ++c)
          sql += (c ? ",$" : "$") + std::to_string(values.size() + c + 1);
        sql += ")";
        auto row = UnitValues(*units[i], true);
        std::move(row.begin(), row.end(), std::back_inserter(values));
      }
      if (!connection.Exec(sql + update, values))
        return false;
    }
  } else {
    for (const UnitRecord *u : units)
      if (!connection.Exec(upsert, UnitValues(*u, true)))
        return false;
  }

  std::vector<SqlValue> values;
  for (const UnitRecord *u : units)
    for (const StepRecord &s : u->steps)
      values.insert(values.end(), {u->unitId, int64_t{s.index}, s.exportName, s.arguments,
                                   int64_t{s.result}, int64_t{s.passed}, s.startedUs,
                                   s.durationUs});
  if (!connection.InsertMany("steps",
                             {"unit_id", "step_index", "export_name", "arguments", "result",
                              "passed", "started_us", "duration_us"},
                             values))
    return false;
  values.clear();
  size_t items = 0;
  for (const UnitRecord *u : units)
    items += u->items.size();
  values.reserve(items * 16);
  for (const UnitRecord *u : units) {
    for (size_t i = 0; i < u->items.size(); ++i) {
      const TestItemRecord &t = u->items[i];
      values.insert(values.end(),
                    {u->unitId, int64_t(i), int64_t{t.stepIndex}, t.source, t.name, t.value,
                     t.lower, t.upper, Number(t.valueNumber), Number(t.lowerNumber),
                     Number(t.upperNumber), t.verdict, int64_t{t.passed}, t.tag, t.monotonicNs,
                     t.wallUs});
    }
  }
  if (!connection.InsertMany("items",
                             {"unit_id", "item_index", "step_index", "source", "name", "value",
                              "lower_limit", "upper_limit", "value_number", "lower_number",
                              "upper_number", "verdict", "passed", "tag", "monotonic_ns",
                              "wall_us"},
                             values))
    return false;
  values.clear();
  for (const UnitRecord *u : units)
    for (size_t i = 0; i < u->identities.size(); ++i) {
      const IdentityRecord &d = u->identities[i];
      values.insert(values.end(), {u->unitId, int64_t(i), int64_t{d.stepIndex}, d.kind, d.value,
                                   d.action, int64_t{d.result}, int64_t{d.fromPool}, d.wallUs});
    }
  if (!connection.InsertMany("identities",
                             {"unit_id", "entry_index", "step_index", "kind", "value", "action",
                              "result", "from_pool", "wall_us"},
                             values))
    return false;
  values.clear();
  for (const UnitRecord *u : units)
    for (size_t i = 0; i < u->downloads.size(); ++i) {
      const DownloadRecord &d = u->downloads[i];
      values.insert(values.end(), {u->unitId, int64_t(i), int64_t{d.stepIndex}, d.image,
                                   int64_t{d.success}, d.outcome, d.durationUs});
    }
  return connection.InsertMany("downloads",
                               {"unit_id", "entry_index", "step_index", "image", "success",
                                "outcome", "duration_us"},
                               values);
}

std::optional<UnitRecord> ReadUnit(SqlConnection &connection, const std::string &unitId) {
  std::vector<SqlRow> rows;
  const std::vector<SqlValue> id{unitId};
  if (!connection.Exec(std::string("SELECT ") + kUnitColumns + " FROM units WHERE unit_id = $1",
                       id, &rows) ||
      rows.empty())
    return std::nullopt;
  const SqlRow &r = rows[0];
  UnitRecord u;
  u.unitId = Text(r[0]);
  u.serialNumber = Text(r[1]);
  u.productType = Text(r[2]);
  u.businessConfig = Text(r[3]);
  u.stationIndex = static_cast<int>(Int(r[4]));
  u.threadIndex = static_cast<int>(Int(r[5]));
  u.hostName = Text(r[6]);
  u.sequenceFile = Text(r[7]);
  u.sequenceHash = Text(r[8]);
  u.startedUs = Int(r[9]);
  u.endedUs = Int(r[10]);
  // A verdict this program does not know reads as incomplete rather than losing the unit.
  if (!ParseVerdict(Text(r[12]), &u.verdict))
    u.verdict = UnitVerdict::Incomplete;
  u.firstFailingStep = static_cast<int>(Int(r[13]));
  u.failureReason = Text(r[14]);

  rows.clear();
  if (!connection.Exec("SELECT step_index, export_name, arguments, result, passed, started_us, "
                       "duration_us FROM steps WHERE unit_id = $1 ORDER BY step_index",
                       id, &rows))
    return std::nullopt;
  for (const SqlRow &s : rows)
    u.steps.push_back({static_cast<int>(Int(s[0])), Text(s[1]), Text(s[2]),
                       static_cast<int32_t>(Int(s[3])), Flag(s[4]), Int(s[5]), Int(s[6])});
  rows.clear();
  if (!connection.Exec("SELECT step_index, source, name, value, lower_limit, upper_limit, "
                       "value_number, lower_number, upper_number, verdict, passed, tag, "
                       "monotonic_ns, wall_us FROM items WHERE unit_id = $1 ORDER BY item_index",
                       id, &rows))
    return std::nullopt;
  for (const SqlRow &s : rows) {
    TestItemRecord t;
    t.stepIndex = static_cast<int>(Int(s[0]));
    t.source = Text(s[1]);
    t.name = Text(s[2]);
    t.value = Text(s[3]);
    t.lower = Text(s[4]);
    t.upper = Text(s[5]);
    t.valueNumber = Double(s[6]);
    t.lowerNumber = Double(s[7]);
    t.upperNumber = Double(s[8]);
    t.verdict = Text(s[9]);
    t.passed = Flag(s[10]);
    t.tag = Text(s[11]);
    t.monotonicNs = Int(s[12]);
    t.wallUs = Int(s[13]);
    u.items.push_back(std::move(t));
  }
  rows.clear();
  if (!connection.Exec("SELECT step_index, kind, value, action, result, from_pool, wall_us "
                       "FROM identities WHERE unit_id = $1 ORDER BY entry_index",
                       id, &rows))
    return std::nullopt;
  for (const SqlRow &s : rows)
    u.identities.push_back({static_cast<int>(Int(s[0])), Text(s[1]), Text(s[2]), Text(s[3]),
                            static_cast<int32_t>(Int(s[4])), Flag(s[5]), Int(s[6])});
  rows.clear();
  if (!connection.Exec("SELECT step_index, image, success, outcome, duration_us "
                       "FROM downloads WHERE unit_id = $1 ORDER BY entry_index",
                       id, &rows))
    return std::nullopt;
  for (const SqlRow &s : rows)
    u.downloads.push_back(
        {static_cast<int>(Int(s[0])), Text(s[1]), Flag(s[2]), Text(s[3]), Int(s[4])});
  return u;
}

std::vector<std::string> FindUnitsBySerial(SqlConnection &connection,
                                           const std::string &serialNumber) {
  std::vector<SqlRow> rows;
  std::vector<std::string> ids;
  if (connection.Exec("SELECT unit_id FROM units WHERE serial_number = $1 "
                      "ORDER BY started_us, unit_id",
                      {serialNumber}, &rows))
    for (const SqlRow &r : rows)
      ids.push_back(Text(r[0]));
  return ids;
}

} // namespace qrx::store
