// The one PostgreSQL cluster a store test binary shares, started on first use and stopped
// when the binary exits, and connections to the stores under test.
#pragma once

#include "pg_test_cluster.h"
#include "sql_connection.h"

#include <memory>
#include <string>

namespace qrx::testing {

// Null (with the reason in *why) when no cluster can be started.
PgTestCluster *SharedPgCluster(std::string *why);
// A fresh database of the shared cluster for one test; empty with *why when there is none.
std::string FreshPgDatabase(std::string *why);
// A connection to a PostgreSQL URL or an SQLite file, its tables made; null with *error.
std::unique_ptr<store::SqlConnection> OpenStore(const std::string &url, std::string *error);

} // namespace qrx::testing
