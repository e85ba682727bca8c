// The store tests' PostgreSQL server where a test binary cannot start one itself (Windows
// builds under Wine): the Linux server that the test fixture started with pg_server.sh on the
// loopback address, found through QRX_TEST_PG_DIR (its folder) and QRX_TEST_PG_SCRIPT.
// Stopping and starting it go back to pg_server.sh, a program of the Linux side that Wine runs.
#include "pg_test_cluster.h"

#include "child_process.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace qrx::testing {

// Wine starts a Linux program but gives no handle to wait on: the script leaves its exit
// status in COMMAND.status, looked for here.
int PgTestCluster::Run(const std::string &command) const {
  const std::string status = "Z:" + folder_ + "/" + command + ".status";
  std::error_code ec;
  std::filesystem::remove(status, ec);
  ChildProcess shell;
  if (!shell.Start({"/bin/sh", script_, command, folder_}, "Z:" + folder_ + "/" + command + ".log"))
    return -1;
  for (int i = 0; i < 1200; ++i) {
    std::ifstream in(status);
    int code = -1;
    if (in >> code)
      return code;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return -1;
}

bool PgTestCluster::Start(std::string *error, bool durable) {
  durable_ = durable;
  const char *dir = std::getenv("QRX_TEST_PG_DIR");
  if (!dir || !*dir) {
    *error = "QRX_TEST_PG_DIR names no PostgreSQL server (the test fixture starts one)";
    return false;
  }
  folder_ = dir;
  if (const char *script = std::getenv("QRX_TEST_PG_SCRIPT"))
    script_ = script;
  return ReadUrl("Z:" + folder_ + "/url", error); // Wine's drive of the Linux root
}

PgTestCluster::~PgTestCluster() {
  if (!running_)
    StartServer(); // the fixture's server outlives this binary
}

} // namespace qrx::testing
