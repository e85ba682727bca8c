// The one PostgreSQL cluster a store test binary shares, started on first use and stopped
// when the binary exits.
#pragma once

#include "pg_test_cluster.h"

#include <string>

namespace qrx::testing {

// Null (with the reason in *why) when no cluster can be started.
PgTestCluster *SharedPgCluster(std::string *why);
// A fresh database of the shared cluster for one test; empty with *why when there is none.
std::string FreshPgDatabase(std::string *why);

} // namespace qrx::testing
