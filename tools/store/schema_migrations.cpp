// Schema versions of the results store. Portable SQL wherever it can be: the same text runs on
// both engines, and only a table's storage differs.
#include "schema_migrations.h"

#include "journal_position.h"

#include <chrono>
#include <string>

namespace qrx::store {

namespace {

// The items table's columns: as version 1 made them, and as version 4 copies them into rows
// stored in key order.
constexpr const char *kItemColumns = R"(
             unit_id TEXT NOT NULL,
             item_index INTEGER NOT NULL,
             step_index INTEGER NOT NULL,
             source TEXT NOT NULL,
             name TEXT NOT NULL,
             value TEXT NOT NULL,
             lower_limit TEXT NOT NULL,
             upper_limit TEXT NOT NULL,
             value_number DOUBLE PRECISION,
             lower_number DOUBLE PRECISION,
             upper_number DOUBLE PRECISION,
             verdict TEXT NOT NULL,
             passed INTEGER NOT NULL,
             tag TEXT NOT NULL,
             monotonic_ns BIGINT NOT NULL,
             wall_us BIGINT NOT NULL,
             PRIMARY KEY (unit_id, item_index))";

} // namespace

const std::vector<Migration> &SchemaMigrations() {
  static const std::string createItems = std::string("CREATE TABLE items (") + kItemColumns + ")";
  static const std::string createItemsByUnit =
      std::string("CREATE TABLE items_by_unit (") + kItemColumns + ") WITHOUT ROWID";
  static const std::vector<Migration> migrations = {
      {1,
       "unit records",
       {R"(CREATE TABLE units (
             unit_id TEXT PRIMARY KEY,
             serial_number TEXT NOT NULL DEFAULT '',
             product_type TEXT NOT NULL DEFAULT '',
             business_config TEXT NOT NULL DEFAULT '',
             station_index INTEGER NOT NULL DEFAULT 0,
             thread_index INTEGER NOT NULL DEFAULT 0,
             host_name TEXT NOT NULL DEFAULT '',
             sequence_file TEXT NOT NULL DEFAULT '',
             sequence_hash TEXT NOT NULL DEFAULT '',
             started_us BIGINT NOT NULL DEFAULT 0,
             ended_us BIGINT NOT NULL DEFAULT 0,
             start_day TEXT NOT NULL DEFAULT '',
             verdict TEXT NOT NULL DEFAULT 'incomplete',
             first_failing_step INTEGER NOT NULL DEFAULT -1,
             failure_reason TEXT NOT NULL DEFAULT '',
             step_count INTEGER NOT NULL DEFAULT 0,
             item_count INTEGER NOT NULL DEFAULT 0,
             identity_count INTEGER NOT NULL DEFAULT 0,
             download_count INTEGER NOT NULL DEFAULT 0))",
        "CREATE INDEX units_serial ON units (serial_number)",
        "CREATE INDEX units_product_station_day ON units (product_type, station_index, start_day)",
        R"(CREATE TABLE steps (
             unit_id TEXT NOT NULL,
             step_index INTEGER NOT NULL,
             export_name TEXT NOT NULL,
             arguments TEXT NOT NULL,
             result INTEGER NOT NULL,
             passed INTEGER NOT NULL,
             started_us BIGINT NOT NULL,
             duration_us BIGINT NOT NULL,
             PRIMARY KEY (unit_id, step_index)))",
        createItems.c_str(),
        "CREATE INDEX items_name ON items (name)",
        R"(CREATE TABLE identities (
             unit_id TEXT NOT NULL,
             entry_index INTEGER NOT NULL,
             step_index INTEGER NOT NULL,
             kind TEXT NOT NULL,
             value TEXT NOT NULL,
             action TEXT NOT NULL,
             result INTEGER NOT NULL,
             from_pool INTEGER NOT NULL,
             wall_us BIGINT NOT NULL,
             PRIMARY KEY (unit_id, entry_index)))",
        "CREATE INDEX identities_value ON identities (kind, value)",
        R"(CREATE TABLE downloads (
             unit_id TEXT NOT NULL,
             entry_index INTEGER NOT NULL,
             step_index INTEGER NOT NULL,
             image TEXT NOT NULL,
             success INTEGER NOT NULL,
             outcome TEXT NOT NULL,
             duration_us BIGINT NOT NULL,
             PRIMARY KEY (unit_id, entry_index)))"}},
      {2,
       "identity pools",
       {R"(CREATE TABLE identity_pools (
             pool_id BIGINT PRIMARY KEY,
             kind TEXT NOT NULL,
             description TEXT NOT NULL,
             pattern TEXT NOT NULL DEFAULT '',
             first_counter BIGINT NOT NULL DEFAULT 0,
             last_counter BIGINT NOT NULL DEFAULT 0,
             created_us BIGINT NOT NULL))",
        // One row per value. Values programmed outside any pool (an operator's serial number)
        // are recorded with a null pool so that they too are never given to a second device.
        R"(CREATE TABLE identity_values (
             kind TEXT NOT NULL,
             value TEXT NOT NULL,
             pool_id BIGINT,
             ordinal BIGINT NOT NULL DEFAULT 0,
             state TEXT NOT NULL,
             unit_id TEXT,
             updated_us BIGINT NOT NULL DEFAULT 0,
             PRIMARY KEY (kind, value)))",
        "CREATE INDEX identity_values_free ON identity_values (kind, pool_id, ordinal) "
        "WHERE state = 'free'",
        "CREATE INDEX identity_values_unit ON identity_values (unit_id)"}},
      {3,
       "journal positions",
       // How far a collector has recorded each station run's journal, committed with the units.
       {kJournalPositionsTable}},
      {4,
       "lean item rows",
       // An item row was three B-trees in SQLite (the rows, their key, the name index): now the
       // rows are stored in key order, and the name index, which no lookup of this program
       // uses, goes on both engines. A store's existing rows are copied over once.
       {},
       {createItemsByUnit.c_str(),
        "INSERT INTO items_by_unit SELECT unit_id, item_index, step_index, source, name, value, "
        "lower_limit, upper_limit, value_number, lower_number, upper_number, verdict, passed, "
        "tag, monotonic_ns, wall_us FROM items",
        "DROP TABLE items",
        "ALTER TABLE items_by_unit RENAME TO items"},
       {"DROP INDEX IF EXISTS items_name"}},
  };
  return migrations;
}

bool MigrateSchema(SqlConnection &connection, std::string *error) {
  auto fail = [&](const std::string &what) {
    if (error)
      *error = what + ": " + connection.Error();
    connection.Rollback();
    return false;
  };
  if (!connection.Begin())
    return fail("cannot open the results store for writing");
  // Processes starting together would race to create the tables; PostgreSQL serialises them
  // on an advisory lock, SQLite already holds its write lock.
  if (connection.Dialect() == SqlDialect::Postgres &&
      !connection.Exec("SELECT pg_advisory_xact_lock(7751200)"))
    return fail("cannot lock the results store's schema");
  if (!connection.Exec("CREATE TABLE IF NOT EXISTS schema_version ("
                       "version INTEGER PRIMARY KEY, summary TEXT NOT NULL, "
                       "applied_us BIGINT NOT NULL)"))
    return fail("cannot read the results store's schema version");
  const auto current = QueryScalar(connection, "SELECT MAX(version) FROM schema_version");
  if (!connection.Error().empty())
    return fail("cannot read the results store's schema version");
  const int have = current ? std::stoi(*current) : 0;
  const auto &migrations = SchemaMigrations();
  const int newest = migrations.back().version;
  if (have > newest) {
    connection.Rollback();
    if (error)
      *error = "the results store has schema version " + std::to_string(have) +
               ", newer than this program's " + std::to_string(newest) + ": update the program";
    return false;
  }
  for (const Migration &m : migrations) {
    if (m.version <= have)
      continue;
    const bool postgres = connection.Dialect() == SqlDialect::Postgres;
    std::vector<const char *> statements = m.statements;
    const auto &own = postgres ? m.postgresStatements : m.sqliteStatements;
    statements.insert(statements.end(), own.begin(), own.end());
    for (const char *statement : statements)
      if (!connection.Exec(statement))
        return fail(std::string("cannot apply schema version ") + std::to_string(m.version) +
                    " (" + m.summary + ")");
    if (!connection.Exec("INSERT INTO schema_version (version, summary, applied_us) "
                         "VALUES ($1, $2, $3)",
                         {int64_t{m.version}, std::string(m.summary),
                          int64_t{std::chrono::duration_cast<std::chrono::microseconds>(
                                      std::chrono::system_clock::now().time_since_epoch())
                                      .count()}}))
      return fail("cannot record the schema version");
  }
  if (!connection.Commit())
    return fail("cannot commit the schema");
  return true;
}

} // namespace qrx::store
