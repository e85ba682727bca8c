// The one PostgreSQL cluster a store test binary shares, started on first use and stopped
// when the binary exits, and connections to the stores under test.
#pragma once

#include "pg_test_cluster.h"
#include "sql_connection.h"
#include "unit_samples.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace qrx::testing {

// Null (with the reason in *why) when no cluster can be started.
PgTestCluster *SharedPgCluster(std::string *why);
// A fresh database of the shared cluster for one test; empty with *why when there is none.
std::string FreshPgDatabase(std::string *why);
// A connection to a PostgreSQL URL or an SQLite file, its tables made; null with *error.
std::unique_ptr<store::SqlConnection> OpenStore(const std::string &url, std::string *error);
// The same for a test to look into a store: a failure fails the test.
inline std::unique_ptr<store::SqlConnection> OpenStore(const std::string &url) {
  std::string error;
  auto db = OpenStore(url, &error);
  EXPECT_TRUE(db) << error;
  return db;
}

// A test run on each store, the parameter naming it: url_ for the store factory ("" for the
// deployment's own SQLite file in folder_, or a fresh PostgreSQL database), readUrl_ to look in.
class EachStoreTest : public ::testing::TestWithParam<const char *> {
protected:
  void SetUp() override {
    if (std::string(GetParam()) == "sqlite") {
      readUrl_ = folder_.Path() + "/Results/results.db";
      return;
    }
    std::string why;
    url_ = readUrl_ = FreshPgDatabase(&why);
    ASSERT_FALSE(url_.empty()) << why;
  }
  TempFolder folder_;
  std::string url_, readUrl_;
};

} // namespace qrx::testing
