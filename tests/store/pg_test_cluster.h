// A PostgreSQL cluster of its own for a test binary or benchmark, made and run by pg_server.sh:
// initdb into a temporary folder, a server on the loopback address, removed again at the end
// (as the user nobody when the tests run as root: the server refuses to run as root). On
// Windows the cluster is the one the test fixture started (pg_fixture_cluster.cpp).
#pragma once

#include <string>

namespace qrx::testing {

class PgTestCluster {
public:
  PgTestCluster() = default;
  PgTestCluster(const PgTestCluster &) = delete;
  PgTestCluster &operator=(const PgTestCluster &) = delete;
  ~PgTestCluster(); // stops the server and removes the folder

  // Creates and starts the cluster; durable=false turns fsync off (tests), true keeps the
  // server's defaults (benchmarks that measure commits).
  bool Start(std::string *error, bool durable = false);
  // Stops and starts the same cluster's server (a server that dies and comes back).
  bool StopServer();
  bool StartServer();
  // A new empty database; its URL.
  bool CreateDatabase(const std::string &name, std::string *url);
  std::string Url(const std::string &database = "postgres") const;

private:
  int Run(const std::string &command) const; // pg_server.sh COMMAND folder_: its exit status
  bool ReadUrl(const std::string &file, std::string *error);
  std::string folder_, url_, script_;
  bool durable_ = false;
  bool running_ = false;
};

} // namespace qrx::testing
