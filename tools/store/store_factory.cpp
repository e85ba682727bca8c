// The store factory: SQLite or PostgreSQL behind the sink and the identity source.
#include "store_factory.h"

#include "pg_connection.h"
#include "queued_unit_sink.h"
#include "schema_migrations.h"
#include "spooling_pg_writer.h"
#include "sql_identity_source.h"
#include "sqlite_unit_writer.h"
#include "store_location.h"

namespace qrx::store {

std::unique_ptr<UnitSink> OpenUnitSink(const std::string &url, const std::string &deploymentDir,
                                       std::string *error) {
  StoreLocation location;
  if (!ResolveStoreLocation(url, deploymentDir, &location, error))
    return nullptr;
  std::unique_ptr<UnitStoreWriter> writer;
  if (location.postgres)
    writer = SpoolingPgWriter::Open(location.url, location.spoolPath, {}, error);
  else
    writer = SqliteUnitWriter::Open(location.sqlitePath, error);
  if (!writer)
    return nullptr;
  return std::make_unique<QueuedUnitSink>(std::move(writer));
}

std::unique_ptr<IdentitySource> OpenIdentitySource(const std::string &url,
                                                   const std::string &deploymentDir,
                                                   std::string *error) {
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
                                               StoreMessageHandler{},
                                               std::chrono::seconds(15));
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

} // namespace qrx::store
