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
  const fs::path station = fs::temp_directory_path() / "qrx-run-pool-restart";
  fs::remove_all(station);
  fs::copy(QRX_STATION_DIR, station, fs::copy_options::recursive);
  for (const char *made : {"Journal", "Results"}) fs::remove_all(station / made);
  const fs::path sequence = station / "pools.seq";
  std::ofstream(sequence) << "@product QRX\nInit_TestDLL_SN()\nOpenPort(1, 115200)\n@sleep 150\n"
                             "WriteSN(@sn, 0)\nReadSN(out=@sn, 0)\nWriteIMEI(@imei, 0)\n"
                             "ReadIMEI(out=@imei, 0)\nClosePort()\n";
  FILE *run = popen((std::string(QRX_RUN) + " --station " + station.string() + " --stations 4 --units 6 --quiet "
                     "--store-wait 30 --db '" + url + "' " + sequence.string() + " 2>&1").c_str(), "r");
  // Once the stations have reached the pools, the server goes away for two seconds.
  std::string output;
  std::thread restart;
  for (char line[4096]; run && std::fgets(line, sizeof line, run);) {
    output += line;
    if (!restart.joinable() && output.find("ok   " + sequence.string() + ":7 WriteIMEI") != std::string::npos)
      restart = std::thread([&] {
        EXPECT_TRUE(cluster->StopServer());
        std::this_thread::sleep_for(std::chrono::seconds(2));
        EXPECT_TRUE(cluster->StartServer());
      });
  }
  ASSERT_TRUE(restart.joinable()) << output;
  restart.join();
  EXPECT_EQ(pclose(run), 0) << output;
  // Every unit its own verified SN and IMEI, recorded from the journal under the id drawn for.
  ASSERT_TRUE((db = PgConnection::Open(url, &why)) != nullptr) << why;
  EXPECT_EQ(QueryScalar(*db, "SELECT COUNT(DISTINCT v.unit_id) || ' ' || COUNT(*) FROM identity_values v "
                             "JOIN units u ON u.unit_id = v.unit_id AND u.verdict = 'pass' "
                             "WHERE v.state = 'verified'"),
            "24 48");
  fs::remove_all(station);
}

} // namespace
