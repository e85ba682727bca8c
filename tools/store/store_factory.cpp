// The store factory: SQLite or PostgreSQL behind the sink and the identity source.
#include "store_factory.h"

#include "pg_connection.h"
#include "queued_unit_sink.h"
#include "schema_migrations.h"
#include "spooling_pg_writer.h"
#include "sqlite_connection.h"
#include "sql_identity_source.h"
#include "sqlite_unit_writer.h"
#include "store_location.h"
#include "unit_tables.h"

#include <filesystem>

namespace qrx::store {

std::unique_ptr<UnitStoreWriter> OpenUnitStoreWriter(const std::string &url,
                                                     const std::string &deploymentDir,
                                                     StoreMessageHandler messages,
                                                     std::string *error) {
  StoreLocation location;
  if (!ResolveStoreLocation(url, deploymentDir, &location, error))
    return nullptr;
  if (location.postgres)
    return SpoolingPgWriter::Open(location.url, location.spoolPath, std::move(messages), error);
  return SqliteUnitWriter::Open(location.sqlitePath, error);
}

std::unique_ptr<UnitSink> OpenUnitSink(const std::string &url, const std::string &deploymentDir,
                                       std::string *error) {
  auto writer = OpenUnitStoreWriter(url, deploymentDir, {}, error);
  if (!writer)
    return nullptr;
  return std::make_unique<QueuedUnitSink>(std::move(writer));
}

std::unique_ptr<IdentitySource> OpenIdentitySource(const std::string &url,
                                                   const std::string &deploymentDir,
                                                   std::string *error,
                                                   std::chrono::milliseconds serverWait) {
  StoreLocation location;
  if (!ResolveStoreLocation(url, deploymentDir, &location, error))
    return nullptr;
  if (location.postgres) {
    // A server that is down now may be up when the first identity is needed: the source is
    // made anyway and its calls say why they fail.
    const std::string pgUrl = location.url;
    ConnectionOpener opener = [pgUrl](std::string *why) -> std::unique_ptr<SqlConnection> {
      auto connection = PgConnection::Open(pgUrl, why);
      if (!connection || !MigrateSchema(*connection, why))
        return nullptr;
      return connection;
    };
    // A server restarted during a run is waited for; stations block meanwhile, as they would
    // for any identity.
    return std::make_unique<SqlIdentitySource>(opener, "the PostgreSQL store " + RedactUrl(pgUrl),
                                               StoreMessageHandler{}, serverWait);
  }
  const std::string path = location.sqlitePath;
  ConnectionOpener opener = [path](std::string *why) -> std::unique_ptr<SqlConnection> {
    auto connection = SqliteConnection::Open(path, why);
    if (!connection || !MigrateSchema(*connection, why))
      return nullptr;
    return connection;
  };
  // A store file that cannot be opened (read-only folder, not a database) is refused now.
  if (!opener(error))
    return nullptr;
  return std::make_unique<SqlIdentitySource>(opener, path);
}

std::vector<UnitRecord> ReadStoredUnits(const std::string &url, const std::string &deploymentDir,
                                        std::string *error) {
  StoreLocation location;
  if (!ResolveStoreLocation(url, deploymentDir, &location, error))
    return {};
  std::unique_ptr<SqlConnection> connection;
  if (location.postgres) {
    connection = PgConnection::Open(location.url, error);
  } else {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(location.sqlitePath, ec)) {
      *error = "no results store at " + location.sqlitePath;
      return {};
    }
    connection = SqliteConnection::Open(location.sqlitePath, error);
  }
  if (!connection || !MigrateSchema(*connection, error))
    return {};
  std::vector<SqlRow> rows;
  if (!connection->Exec("SELECT unit_id FROM units ORDER BY started_us, unit_id", {}, &rows)) {
    *error = connection->Error();
    return {};
  }
  std::vector<UnitRecord> units;
  units.reserve(rows.size());
  for (const SqlRow &row : rows) {
    if (row.empty() || !row[0])
      continue;
    auto unit = ReadUnit(*connection, *row[0]);
    if (!unit) {
      *error = "reading unit " + *row[0] + ": " + connection->Error();
      return {};
    }
    units.push_back(std::move(*unit));
  }
  return units;
}

} // namespace qrx::store
