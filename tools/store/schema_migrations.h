// The results store's schema as an ordered list of migrations, the same for SQLite and
// PostgreSQL where the engines allow, and the function that brings a store up to date.
#pragma once

#include "sql_connection.h"

#include <string>
#include <vector>

namespace qrx::store {

struct Migration {
  int version;
  const char *summary;
  std::vector<const char *> statements;          // both engines
  std::vector<const char *> sqliteStatements = {}; // SQLite only, after the common ones
  std::vector<const char *> postgresStatements = {}; // PostgreSQL only
};

// Every migration in order; a store's schema_version table names the last one applied.
const std::vector<Migration> &SchemaMigrations();

// Applies the migrations the store lacks, all in one transaction (a failure leaves the store as
// it was). False with *error when the store cannot be migrated or is newer than this program.
bool MigrateSchema(SqlConnection &connection, std::string *error);

} // namespace qrx::store
