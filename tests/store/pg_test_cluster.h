// A PostgreSQL cluster of its own for a test binary or benchmark: initdb into a temporary
// folder, a server listening only on a Unix socket there, removed again at the end. Run as an
// unprivileged user when the tests run as root (the server refuses to run as root). On Windows
// the cluster is the one the test fixture started (pg_fixture_cluster.cpp).
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
  const std::string &Folder() const { return folder_; }

private:
  int Run(const std::string &command) const; // as the server's user
  std::string folder_, asUser_;
  std::string url_, script_; // the fixture's server and its pg_server.sh (Windows)
  bool durable_ = false;
  bool running_ = false;
};

// The folder of PostgreSQL's server programs (initdb, pg_ctl), empty when none is installed.
std::string PgBinFolder();

} // namespace qrx::testing
