// The store tests' shared PostgreSQL cluster.
#include "store_test_cluster.h"

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

} // namespace qrx::testing
