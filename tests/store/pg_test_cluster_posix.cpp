// Test PostgreSQL clusters on POSIX systems: pg_server.sh run in a temporary folder of our own.
#include "pg_test_cluster.h"

#include <stdlib.h>

#include <cstdlib>

namespace qrx::testing {

int PgTestCluster::Run(const std::string &command) const {
  const std::string line = "sh '" + script_ + "' " + command + " " + folder_ +
                           (durable_ ? " durable" : "") + " >>" + folder_ + ".log 2>&1";
  return std::system(line.c_str()) == 0 ? 0 : 1;
}

bool PgTestCluster::Start(std::string *error, bool durable) {
  durable_ = durable;
  script_ = QRX_TEST_PG_SCRIPT;
  char folder[] = "/tmp/qrxpg-XXXXXX";
  if (!mkdtemp(folder)) {
    *error = "cannot make a temporary folder";
    return false;
  }
  folder_ = folder;
  if (Run("start") != 0) {
    *error = "the PostgreSQL server did not start, see " + folder_ + ".log";
    return false;
  }
  return ReadUrl(folder_ + "/url", error);
}

PgTestCluster::~PgTestCluster() {
  if (!folder_.empty() && Run("remove") == 0)
    std::remove((folder_ + ".log").c_str());
}

} // namespace qrx::testing
