// The store tests' shared PostgreSQL cluster.
#include "store_test_cluster.h"

#include "pg_connection.h"
#include "schema_migrations.h"
#include "sqlite_connection.h"

#include <atomic>
#include <memory>

namespace qrx::testing {

PgTestCluster *SharedPgCluster(std::string *why) {
  static std::string failure;
  static std::unique_ptr<PgTestCluster> cluster = [] {
    auto c = std::make_unique<PgTestCluster>();
    if (!c->Start(&failure))
      c.reset();
    return c;
  }();
  if (!cluster && why)
    *why = failure;
  return cluster.get();
}

std::string FreshPgDatabase(std::string *why) {
  static std::atomic<int> counter{0};
  PgTestCluster *cluster = SharedPgCluster(why);
  std::string url;
  if (cluster && !cluster->CreateDatabase("t" + std::to_string(++counter), &url) && why)
    *why = "cannot create a database";
  return url;
}

std::unique_ptr<store::SqlConnection> OpenStore(const std::string &url, std::string *error) {
  std::unique_ptr<store::SqlConnection> db;
  if (url.rfind("postgresql://", 0) == 0)
    db = store::PgConnection::Open(url, error);
  else
    db = store::SqliteConnection::Open(url, error);
  if (db && !store::MigrateSchema(*db, error))
    db.reset();
  return db;
}

} // namespace qrx::testing
