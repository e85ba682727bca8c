// qrx-run on four stations drawing identities from a PostgreSQL store whose server restarts
// under the running line: the identity calls wait for the server and every unit passes and is
// recorded, each with values of its own.
#include "store_test_cluster.h"

#include "store/identity_pool_admin.h"
#include "store/pg_connection.h"
#include "store/schema_migrations.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {
namespace fs = std::filesystem;
using namespace qrx::store;

TEST(QrxRunIdentityPools, ALineGoesOnThroughAPostgreSqlRestart) {
  std::string why;
  const std::string url = qrx::testing::FreshPgDatabase(&why);
  if (url.empty()) GTEST_SKIP() << why;
  qrx::testing::PgTestCluster *cluster = qrx::testing::SharedPgCluster(&why);
  auto db = PgConnection::Open(url, &why);
  PoolLoadResult loaded;
  ASSERT_TRUE(db && MigrateSchema(*db, &why) && AddSerialPool(*db, "RR{counter:6}", 1, 100, &loaded, &why) &&
              AddImeiPool(*db, "35209900", 0, 99, &loaded, &why)) << why;
  db.reset();
  const fs::path station = fs::temp_directory_path() / "qrx-run-pool-restart";
  fs::remove_all(station);
  fs::copy(QRX_STATION_DIR, station, fs::copy_options::recursive);
  for (const char *made : {"Journal", "Results"}) fs::remove_all(station / made);
  const fs::path sequence = station / "pools.seq";
  std::ofstream(sequence) << "@product QRX\nInit_TestDLL_SN()\nOpenPort(1, 115200)\n@sleep 150\n"
                             "WriteSN(@sn, 0)\nReadSN(out=@sn, 0)\nWriteIMEI(@imei, 0)\n"
                             "ReadIMEI(out=@imei, 0)\nClosePort()\n";
  const std::string command = std::string(QRX_RUN) + " --station " + station.string() +
                              " --stations 4 --units 6 --quiet --store-wait 30 --db '" + url +
                              "' " + sequence.string() + " 2>&1";
  FILE *run = popen(command.c_str(), "r");
  ASSERT_TRUE(run);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  ASSERT_TRUE(cluster->StopServer());
  std::this_thread::sleep_for(std::chrono::seconds(2));
  ASSERT_TRUE(cluster->StartServer());
  std::string output(1 << 22, '\0');
  output.resize(fread(output.data(), 1, output.size(), run));
  EXPECT_EQ(pclose(run), 0) << output;

  db = PgConnection::Open(url, &why);
  ASSERT_TRUE(db) << why;
  // Every unit its own verified SN and IMEI, recorded from the journal under the id they were
  // drawn for.
  EXPECT_EQ(QueryScalar(*db, "SELECT COUNT(DISTINCT v.unit_id) || ' ' || COUNT(*) FROM identity_values v "
                             "JOIN units u ON u.unit_id = v.unit_id AND u.verdict = 'pass' "
                             "WHERE v.state = 'verified'"),
            "24 48");
  fs::remove_all(station);
}

} // namespace
