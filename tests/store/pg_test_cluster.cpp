// Test PostgreSQL clusters: what is the same wherever pg_server.sh runs the server.
#include "pg_test_cluster.h"

#include <libpq-fe.h>

#include <fstream>

namespace qrx::testing {

bool PgTestCluster::ReadUrl(const std::string &file, std::string *error) {
  std::ifstream in(file);
  if (!std::getline(in, url_) || url_.empty()) {
    *error = "no server URL in " + folder_ + "/url";
    return false;
  }
  return running_ = true;
}

bool PgTestCluster::StartServer() {
  running_ = Run("resume") == 0;
  return running_;
}

bool PgTestCluster::StopServer() {
  if (!running_)
    return true;
  running_ = Run("stop") != 0;
  return !running_;
}

std::string PgTestCluster::Url(const std::string &database) const { return url_ + database; }

bool PgTestCluster::CreateDatabase(const std::string &name, std::string *url) {
  PGconn *conn = PQconnectdb(Url().c_str());
  bool ok = PQstatus(conn) == CONNECTION_OK;
  if (ok) {
    PQsetNoticeProcessor(conn, [](void *, const char *) {}, nullptr); // "does not exist, skipping"
    PGresult *result = PQexec(conn, ("DROP DATABASE IF EXISTS " + name).c_str());
    PQclear(result);
    result = PQexec(conn, ("CREATE DATABASE " + name).c_str());
    ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
  }
  PQfinish(conn);
  if (ok)
    *url = Url(name);
  return ok;
}

} // namespace qrx::testing
