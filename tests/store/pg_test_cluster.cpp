// Test PostgreSQL clusters started with initdb and pg_ctl.
#include "pg_test_cluster.h"

#include <libpq-fe.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace qrx::testing {

std::string PgBinFolder() {
  if (const char *env = std::getenv("QRX_PG_BIN"))
    return env;
  for (int version = 17; version >= 12; --version) {
    const std::string folder = "/usr/lib/postgresql/" + std::to_string(version) + "/bin";
    if (std::filesystem::exists(folder + "/pg_ctl"))
      return folder;
  }
  return {};
}

int PgTestCluster::Run(const std::string &command) const {
  const std::string full = asUser_.empty() ? command : "runuser -u " + asUser_ + " -- " + command;
  return std::system((full + " >>" + folder_ + "/commands.log 2>&1").c_str());
}

bool PgTestCluster::Start(std::string *error, bool durable) {
  durable_ = durable;
  const std::string bin = PgBinFolder();
  if (bin.empty()) {
    *error = "no PostgreSQL server programs (install the postgresql package)";
    return false;
  }
  char folder[] = "/tmp/qrxpg-XXXXXX";
  if (!mkdtemp(folder)) {
    *error = "cannot make a temporary folder";
    return false;
  }
  folder_ = folder;
  if (geteuid() == 0) {
    const passwd *nobody = getpwnam("nobody");
    if (!nobody || chown(folder, nobody->pw_uid, nobody->pw_gid) != 0) {
      *error = "cannot hand " + folder_ + " to the user nobody";
      return false;
    }
    asUser_ = "nobody";
  }
  if (Run(bin + "/initdb -D " + folder_ + "/data -A trust -U postgres -E UTF8 --no-sync") != 0) {
    *error = "initdb failed, see " + folder_ + "/commands.log";
    return false;
  }
  if (!StartServer()) {
    *error = "the PostgreSQL server did not start, see " + folder_ + "/server.log";
    return false;
  }
  return true;
}

bool PgTestCluster::StartServer() {
  std::string options = "-c listen_addresses='' -c unix_socket_directories=" + folder_ +
                        " -c max_connections=200 -c shared_buffers=32MB";
  if (!durable_)
    options += " -c fsync=off -c synchronous_commit=off -c full_page_writes=off";
  running_ = Run(PgBinFolder() + "/pg_ctl -D " + folder_ + "/data -l " + folder_ +
                 "/server.log -w -t 60 -o \"" + options + "\" start") == 0;
  return running_;
}

bool PgTestCluster::StopServer() {
  if (!running_)
    return true;
  running_ = Run(PgBinFolder() + "/pg_ctl -D " + folder_ + "/data -m fast -w -t 60 stop") != 0;
  return !running_;
}

PgTestCluster::~PgTestCluster() {
  if (folder_.empty())
    return;
  StopServer();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::string PgTestCluster::Url(const std::string &database) const {
  return "postgresql:///" + database + "?host=" + folder_ + "&user=postgres";
}

bool PgTestCluster::CreateDatabase(const std::string &name, std::string *url) {
  PGconn *conn = PQconnectdb(Url().c_str());
  bool ok = PQstatus(conn) == CONNECTION_OK;
  if (ok) {
    PGresult *result = PQexec(conn, ("CREATE DATABASE " + name).c_str());
    ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
  }
  PQfinish(conn);
  if (ok)
    *url = Url(name);
  return ok;
}

} // namespace qrx::testing
