// qrx-ids: loads identity pools (IMEI, MAC, serial numbers) into a results store and reports
// how many values of each pool are free, reserved, written, verified and burned.
#include "identity_pool_admin.h"
#include "pg_connection.h"
#include "schema_migrations.h"
#include "sqlite_connection.h"
#include "store_location.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>

using namespace qrx::store;

namespace {

std::unique_ptr<SqlConnection> OpenStore(const std::string &url, const std::string &deployment,
                                         std::string *error) {
  StoreLocation location;
  if (!ResolveStoreLocation(url, deployment, &location, error))
    return nullptr;
  std::unique_ptr<SqlConnection> db;
  if (location.postgres)
    db = PgConnection::Open(location.url, error);
  else
    db = SqliteConnection::Open(location.sqlitePath, error);
  if (!db || !MigrateSchema(*db, error))
    return nullptr;
  return db;
}

int Fail(bool json, const std::string &error) {
  if (json)
    std::cout << nlohmann::json{{"error", error}}.dump() << "\n";
  std::fprintf(stderr, "qrx-ids: %s\n", error.c_str());
  return 1;
}

} // namespace

int main(int argc, char **argv) {
  CLI::App app{"Loads identity pools into a results store and reports on them."};
  app.set_version_flag("--version", std::string("qrx-ids ") + QRX_VERSION);
  std::string url, deployment = ".";
  bool json = false;
  app.add_option("--db", url,
                 "store URL: postgresql://..., sqlite:PATH or a file path "
                 "(default: Results/results.db of the deployment)");
  app.add_option("--deployment", deployment, "deployment folder (default: current folder)");
  app.add_flag("--json", json, "print JSON");
  app.require_subcommand(1);
  app.fallthrough(); // --db and --json also after the subcommand

  std::string tac;
  int64_t imeiFrom = 0, imeiTo = 0;
  auto *addImei = app.add_subcommand("add-imei", "load IMEI serials of one TAC (check digit computed)");
  addImei->add_option("--tac", tac, "8-digit type allocation code")->required();
  addImei->add_option("--from", imeiFrom, "first serial, 0..999999")->required();
  addImei->add_option("--to", imeiTo, "last serial, 0..999999")->required();

  std::string oui, macFrom, macTo;
  auto *addMac = app.add_subcommand("add-mac", "load MAC addresses of an OUI block");
  addMac->add_option("--oui", oui, "OUI such as 00:1A:2B (unicast, globally administered)")
      ->required();
  addMac->add_option("--from", macFrom, "first device part: 0x000000..0xFFFFFF or 00:00:00")
      ->required();
  addMac->add_option("--to", macTo, "last device part")->required();

  std::string pattern;
  int64_t snFrom = -1, snCount = 0;
  auto *addSn = app.add_subcommand(
      "add-sn", "load serial numbers from a pattern: literal text and {counter} or {counter:W}");
  addSn->add_option("--pattern", pattern, "e.g. SN-L1-{counter:6}")->required();
  addSn->add_option("--count", snCount, "how many")->required();
  addSn->add_option("--from", snFrom,
                    "first counter (default: after the last one loaded for the pattern, or 1)");

  auto *report = app.add_subcommand("report", "values of each pool by state");

  double staleMinutes = 0;
  auto *recover = app.add_subcommand(
      "recover", "after a host died mid-unit: return its stale reserved values to the pool and "
                 "burn its written, unverified ones");
  recover->add_option("--older-than", staleMinutes, "minutes without change (e.g. 120)")
      ->required()
      ->check(CLI::PositiveNumber);

  CLI11_PARSE(app, argc, argv);

  std::string error;
  auto db = OpenStore(url, deployment, &error);
  if (!db)
    return Fail(json, error);

  if (*report) {
    std::vector<PoolCounts> pools;
    if (!ReportPools(*db, &pools, &error))
      return Fail(json, error);
    if (json) {
      nlohmann::json out = nlohmann::json::array();
      for (const PoolCounts &p : pools)
        out.push_back({{"pool", p.poolId},
                       {"kind", p.kind},
                       {"description", p.description},
                       {"free", p.free},
                       {"reserved", p.reserved},
                       {"written", p.written},
                       {"verified", p.verified},
                       {"burned", p.burned}});
      std::cout << out.dump(2) << "\n";
      return 0;
    }
    if (pools.empty())
      std::printf("no identity pools\n");
    else
      std::printf("%5s %-5s %10s %10s %10s %10s %10s  %s\n", "pool", "kind", "free", "reserved",
                  "written", "verified", "burned", "range");
    for (const PoolCounts &p : pools)
      std::printf("%5lld %-5s %10lld %10lld %10lld %10lld %10lld  %s\n",
                  static_cast<long long>(p.poolId), p.kind.c_str(),
                  static_cast<long long>(p.free), static_cast<long long>(p.reserved),
                  static_cast<long long>(p.written), static_cast<long long>(p.verified),
                  static_cast<long long>(p.burned), p.description.c_str());
    return 0;
  }

  if (*recover) {
    int64_t freed = 0, burned = 0;
    if (!RecoverStaleIdentities(*db, static_cast<int64_t>(staleMinutes * 60e6), &freed, &burned,
                                &error))
      return Fail(json, error);
    if (json)
      std::cout << nlohmann::json{{"freed", freed}, {"burned", burned}}.dump(2) << "\n";
    else
      std::printf("%lld reserved values returned to their pools, %lld written values burned\n",
                  static_cast<long long>(freed), static_cast<long long>(burned));
    return 0;
  }

  PoolLoadResult result;
  bool ok = false;
  const char *kind = "";
  if (*addImei) {
    kind = "imei";
    ok = AddImeiPool(*db, tac, imeiFrom, imeiTo, &result, &error);
  } else if (*addMac) {
    kind = "mac";
    ok = AddMacPool(*db, oui, macFrom, macTo, &result, &error);
  } else if (*addSn) {
    kind = "sn";
    ok = AddSerialPool(*db, pattern, snFrom, snCount, &result, &error);
  }
  if (!ok)
    return Fail(json, error);
  if (json) {
    std::cout << nlohmann::json{{"pool", result.poolId},  {"kind", kind},
                                {"added", result.added},  {"skipped", result.skipped},
                                {"first", result.firstValue}, {"last", result.lastValue}}
                     .dump(2)
              << "\n";
  } else {
    std::printf("pool %lld: %lld %s values added (%s .. %s)", static_cast<long long>(result.poolId),
                static_cast<long long>(result.added), kind, result.firstValue.c_str(),
                result.lastValue.c_str());
    if (result.skipped)
      std::printf(", %lld already in the store skipped", static_cast<long long>(result.skipped));
    std::printf("\n");
  }
  return 0;
}
