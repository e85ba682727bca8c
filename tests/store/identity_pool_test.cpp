// Identity pools on both stores: reservation, return, burning, refusal of a second device,
// eight hosts sharing one PostgreSQL pool, and qrx-ids; IMEI check digits, OUI blocks and
// serial-number patterns.
#include "identity_formats.h"
#include "identity_pool_admin.h"
#include "store_factory.h"
#include "store_test_cluster.h"
#include "unit_samples.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "child_process.h"

#include <mutex>
#include <map>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>
#include <utility>

using namespace qrx::store;
using qrx::testing::NewUnitId;
using qrx::testing::TempFolder;

namespace {

PoolCounts CountsOf(SqlConnection &db, const std::string &kind, int64_t poolId) {
  std::vector<PoolCounts> pools;
  std::string error;
  EXPECT_TRUE(ReportPools(db, &pools, &error)) << error;
  for (const PoolCounts &p : pools)
    if (p.kind == kind && p.poolId == poolId)
      return p;
  return {};
}

class IdentityPoolTest : public qrx::testing::EachStoreTest {
protected:
  void SetUp() override {
    EachStoreTest::SetUp();
    if (url_.empty())
      url_ = readUrl_ = folder_.Path() + "/ids.db";
    admin_ = qrx::testing::OpenStore(readUrl_);
    std::string error;
    ASSERT_TRUE(admin_ && (source_ = OpenIdentitySource(url_, folder_.Path(), &error))) << error;
  }
  std::unique_ptr<SqlConnection> admin_;
  std::unique_ptr<IdentitySource> source_;
};

} // namespace

// Check digits of published examples; a bad TAC or serial is refused.
TEST(IdentityFormats, ImeiCheckDigitsAndRefusals) {
  // 7992739871 is the classic Luhn example.
  for (auto [digits, check] : {std::pair{"49015420323751", 8}, {"35209900176148", 1}, {"35693803564380", 9},
                               {"7992739871", 3}, {"", -1}, {"12a4", -1}})
    EXPECT_EQ(LuhnCheckDigit(digits), check) << digits;

  std::string imei, error;
  for (auto [tac, serial, made] : {std::tuple{"35209900", 176148, "352099001761481"},
                                   {"49015420", 323751, "490154203237518"}}) {
    ASSERT_TRUE(MakeImei(tac, serial, &imei, &error)) << error;
    EXPECT_EQ(imei, made);
  }
  ASSERT_TRUE(MakeImei("35209900", 0, &imei, &error));
  EXPECT_EQ(imei.substr(0, 14), "35209900000000");
  EXPECT_TRUE(ValidImei(imei));
  EXPECT_TRUE(ValidImei("356938035643809"));
  EXPECT_FALSE(ValidImei("356938035643808"));
  EXPECT_FALSE(ValidImei("35693803564380"));
  imei.clear();
  for (auto [tac, serial, why] : {std::tuple{"3520990", 1, "8 decimal digits"},
                                  {"3520990X", 1, ""}, {"35209900", 1000000, ""}, {"35209900", -1, ""}}) {
    EXPECT_FALSE(MakeImei(tac, serial, &imei, &error)) << tac << " " << serial;
    EXPECT_NE(error.find(why), std::string::npos) << error;
  }
  EXPECT_TRUE(imei.empty());
}

TEST(IdentityFormats, MacBlocksAreUnicastAndGloballyAdministered) {
  uint32_t oui = 0, part = 0;
  std::string error;
  for (auto [text, value] : {std::pair{"00:1A:2B", 0x001A2Bu}, {"ac-de-48", 0xACDE48u}}) {
    ASSERT_TRUE(ParseOui(text, &oui, &error)) << error;
    EXPECT_EQ(oui, value);
  }
  for (auto [bad, why] : {std::pair{"01:00:5E", "multicast"}, {"02:00:00", "locally administered"},
                          {"00:1A", ""}, {"00:1A:2G", ""}}) {
    EXPECT_FALSE(ParseOui(bad, &oui, &error)) << bad;
    EXPECT_NE(error.find(why), std::string::npos) << error;
  }
  for (auto [text, value] : {std::pair{"0x10", 16u}, {"00:01:00", 256u}, {"16777215", 16777215u}}) {
    ASSERT_TRUE(ParseMacDevicePart(text, &part, &error)) << text;
    EXPECT_EQ(part, value);
  }
  for (const char *bad : {"16777216", "-1", "12x", ""}) EXPECT_FALSE(ParseMacDevicePart(bad, &part, &error)) << bad;
  EXPECT_EQ(FormatMac(0x001A2B, 0xABCDEF), "00:1A:2B:AB:CD:EF");
}

TEST(IdentityFormats, SerialPatterns) {
  SerialPattern p;
  std::string value, error;
  ASSERT_TRUE(ParseSerialPattern("SN-L1-{counter:6}-X", &p, &error)) << error;
  ASSERT_TRUE(ExpandSerialPattern(p, 42, &value, &error));
  EXPECT_EQ(value, "SN-L1-000042-X");
  EXPECT_FALSE(ExpandSerialPattern(p, 1000000, &value, &error)); // would be 7 digits
  EXPECT_NE(error.find("does not fit"), std::string::npos);
  ASSERT_TRUE(ParseSerialPattern("{counter}", &p, &error));
  ASSERT_TRUE(ExpandSerialPattern(p, 1234567, &value, &error));
  EXPECT_EQ(value, "1234567");
  for (const char *bad : {"SN", "SN{counter", "SN{station}{counter:6}", "{counter:0}",
                          "{counter:19}", "{counter:x}", "A}{counter}", "{counter}{counter}"})
    EXPECT_FALSE(ParseSerialPattern(bad, &p, &error)) << bad;
}

TEST_P(IdentityPoolTest, ReservationsReturnBurnAndRunOut) {
  PoolLoadResult pool;
  std::string error, value, again;
  ASSERT_TRUE(AddImeiPool(*admin_, "35209900", 176148, 176151, &pool, &error)) << error;
  EXPECT_EQ(pool.added, 4);
  EXPECT_EQ(pool.firstValue, "352099001761481");

  const std::string a = NewUnitId(), b = NewUnitId(), c = NewUnitId();
  ASSERT_TRUE(source_->Reserve(a, "imei", &value, &error)) << error;
  EXPECT_EQ(value, "352099001761481");
  ASSERT_TRUE(source_->Reserve(a, "imei", &again, &error));
  EXPECT_EQ(again, value); // the same unit asking again
  ASSERT_TRUE(source_->Reserve(b, "imei", &again, &error));
  EXPECT_NE(again, value);
  const std::string valueB = again;

  // a never writes its value: it goes back to the pool and is the next one issued.
  source_->EndUnit(a, false);
  ASSERT_TRUE(source_->Reserve(c, "imei", &again, &error));
  EXPECT_EQ(again, value);
  // c writes it and fails: burned.
  ASSERT_TRUE(source_->MayProgram(c, "imei", value, &error)) << error;
  ASSERT_TRUE(source_->MarkWritten(c, "imei", value, &error)) << error;
  source_->EndUnit(c, false);
  PoolCounts counts = CountsOf(*admin_, "imei", pool.poolId);
  EXPECT_EQ(counts.burned, 1);
  EXPECT_EQ(counts.reserved, 1);
  EXPECT_EQ(counts.free, 2);

  // The rest of the pool: never the burned value; then a clear error.
  std::set<std::string> issued{valueB};
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(source_->Reserve(NewUnitId(), "imei", &again, &error)) << error;
    EXPECT_NE(again, value);
    EXPECT_TRUE(issued.insert(again).second) << again;
  }
  EXPECT_FALSE(source_->Reserve(NewUnitId(), "imei", &again, &error));
  EXPECT_NE(error.find("IMEI pool"), std::string::npos) << error;
  EXPECT_NE(error.find("is empty"), std::string::npos) << error;
  EXPECT_FALSE(source_->Reserve(NewUnitId(), "mac", &again, &error));
  EXPECT_NE(error.find("has no MAC pool"), std::string::npos) << error;
  EXPECT_FALSE(source_->Reserve(NewUnitId(), "iccid", &again, &error));
}

TEST_P(IdentityPoolTest, AValueVerifiedOnOneUnitIsRefusedToAnother) {
  PoolLoadResult pool;
  std::string error, mac;
  ASSERT_TRUE(AddMacPool(*admin_, "00:1A:2B", "0x10", "0x11", &pool, &error)) << error;
  const std::string a = NewUnitId(), b = NewUnitId();
  ASSERT_TRUE(source_->Reserve(a, "mac", &mac, &error)) << error;
  EXPECT_EQ(mac, "00:1A:2B:00:00:10");
  // Held by a unit still under test: nobody else may program or claim it.
  EXPECT_FALSE(source_->MayProgram(b, "mac", mac, &error));
  EXPECT_FALSE(source_->MarkWritten(b, "mac", mac, &error));
  EXPECT_NE(error.find("reserved for unit " + a), std::string::npos) << error;
  ASSERT_TRUE(source_->MarkWritten(a, "mac", mac, &error)) << error;
  ASSERT_TRUE(source_->MarkVerified(a, "mac", mac, &error)) << error;
  ASSERT_TRUE(source_->MarkWritten(a, "mac", mac, &error)); // written again: still verified
  source_->EndUnit(a, true);
  EXPECT_TRUE(source_->MayProgram(a, "mac", mac, &error));
  EXPECT_FALSE(source_->MayProgram(b, "mac", mac, &error));
  EXPECT_NE(error.find("already verified on unit " + a), std::string::npos) << error;
  PoolCounts counts = CountsOf(*admin_, "mac", pool.poolId);
  EXPECT_EQ(counts.verified, 1);
  EXPECT_EQ(counts.free, 1);

  // A serial number typed by an operator, outside every pool, is guarded the same way.
  ASSERT_TRUE(source_->MarkWritten(a, "sn", "OPERATOR-0001", &error)) << error;
  ASSERT_TRUE(source_->MarkVerified(a, "sn", "OPERATOR-0001", &error)) << error;
  EXPECT_FALSE(source_->MayProgram(b, "sn", "OPERATOR-0001", &error));
  EXPECT_TRUE(source_->MayProgram(b, "sn", "OPERATOR-0002", &error));
  counts = CountsOf(*admin_, "sn", 0);
  EXPECT_EQ(counts.verified, 1);
}

TEST_P(IdentityPoolTest, SerialPatternsContinueWhereTheLastLoadEnded) {
  PoolLoadResult first, second;
  std::string error, sn;
  ASSERT_TRUE(AddSerialPool(*admin_, "L1-{counter:4}", -1, 3, &first, &error)) << error;
  ASSERT_TRUE(AddSerialPool(*admin_, "L1-{counter:4}", -1, 2, &second, &error)) << error;
  EXPECT_EQ(first.firstValue, "L1-0001");
  EXPECT_EQ(second.firstValue, "L1-0004");
  EXPECT_EQ(second.lastValue, "L1-0005");
  // An overlapping range adds only what is new.
  PoolLoadResult overlap;
  ASSERT_TRUE(AddSerialPool(*admin_, "L1-{counter:4}", 5, 2, &overlap, &error)) << error;
  EXPECT_EQ(overlap.added, 1);
  EXPECT_EQ(overlap.skipped, 1);
  EXPECT_FALSE(AddSerialPool(*admin_, "L1-{counter:2}", 99, 2, &overlap, &error));
  EXPECT_FALSE(AddImeiPool(*admin_, "35209900", 999999, 1000000, &overlap, &error));
  ASSERT_TRUE(source_->Reserve(NewUnitId(), "sn", &sn, &error)) << error;
  EXPECT_EQ(sn, "L1-0001");
}

// A host killed mid-unit never ends its unit: recovery frees what it only reserved and burns
// what it wrote, and leaves younger reservations of running units alone.
TEST_P(IdentityPoolTest, RecoveryAfterAHostDiedMidUnit) {
  PoolLoadResult pool;
  std::string error, reserved, written, verified, young;
  ASSERT_TRUE(AddImeiPool(*admin_, "35209900", 0, 9, &pool, &error)) << error;
  const std::string dead = NewUnitId(), deadToo = NewUnitId(), passed = NewUnitId();
  ASSERT_TRUE(source_->Reserve(dead, "imei", &reserved, &error)) << error;
  ASSERT_TRUE(source_->Reserve(deadToo, "imei", &written, &error)) << error;
  ASSERT_TRUE(source_->MarkWritten(deadToo, "imei", written, &error)) << error;
  ASSERT_TRUE(source_->Reserve(passed, "imei", &verified, &error)) << error;
  ASSERT_TRUE(source_->MarkVerified(passed, "imei", verified, &error)) << error;
  // Age them by an hour.
  ASSERT_TRUE(admin_->Exec("UPDATE identity_values SET updated_us = updated_us - 3600000000"));
  ASSERT_TRUE(source_->Reserve(NewUnitId(), "imei", &young, &error)) << error;

  int64_t freed = 0, burned = 0;
  ASSERT_TRUE(RecoverStaleIdentities(*admin_, 30 * 60000000LL, &freed, &burned, &error)) << error;
  EXPECT_EQ(freed, 1);
  EXPECT_EQ(burned, 1);
  const PoolCounts counts = CountsOf(*admin_, "imei", pool.poolId);
  EXPECT_EQ(counts.reserved, 1); // the young one
  EXPECT_EQ(counts.burned, 1);
  EXPECT_EQ(counts.verified, 1);
  EXPECT_EQ(counts.free, 7);
  std::string next;
  ASSERT_TRUE(source_->Reserve(NewUnitId(), "imei", &next, &error)) << error;
  EXPECT_EQ(next, reserved); // back in the pool, first in line
}

INSTANTIATE_TEST_SUITE_P(Stores, IdentityPoolTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto &info) { return std::string(info.param); });

// Eight hosts with four station threads each take IMEIs from one PostgreSQL pool, each host
// through connections of its own; some values go back to the pool, some are burned.
TEST(IdentityPoolHosts, EightHostsShareOnePoolWithoutDuplicatesAndWaitForARestartedServer) {
  std::string why;
  const std::string url = qrx::testing::FreshPgDatabase(&why);
  ASSERT_FALSE(url.empty()) << why;
  auto admin = qrx::testing::OpenStore(url);
  ASSERT_TRUE(admin);
  PoolLoadResult pool;
  constexpr int kHosts = 8, kThreads = 4, kUnits = 20, kPool = 1000;
  ASSERT_TRUE(AddImeiPool(*admin, "35209900", 0, kPool - 1, &pool, &why)) << why;
  TempFolder folder;
  std::vector<std::unique_ptr<IdentitySource>> hosts;
  for (int h = 0; h < kHosts; ++h) {
    hosts.push_back(OpenIdentitySource(url, folder.Path(), &why));
    ASSERT_TRUE(hosts.back()) << why;
  }
  std::mutex mutex;
  std::map<std::string, std::set<std::string>> byOutcome;
  std::map<std::string, std::string> holder; // verified or burned value -> unit
  int units = 0;
  std::vector<std::thread> stations;
  for (auto &host : hosts)
    for (int t = 0; t < kThreads; ++t)
      stations.emplace_back([&, source = host.get(), t] {
        for (int i = 0; i < kUnits; ++i) {
          const std::string unit = NewUnitId();
          std::string value, again, error, outcome = "returned";
          bool ok = source->Reserve(unit, "imei", &value, &error) &&
                    source->Reserve(unit, "imei", &again, &error) && again == value;
          if (ok && (i + t) % 7 != 3) {
            ok = source->MayProgram(unit, "imei", value, &error) &&
                 source->MarkWritten(unit, "imei", value, &error);
            outcome = "burned";
            if (ok && (i + t) % 5 != 1) {
              ok = source->MarkVerified(unit, "imei", value, &error);
              outcome = "verified";
            }
          }
          source->EndUnit(unit, outcome != "burned");
          std::lock_guard lock(mutex);
          ASSERT_TRUE(ok) << error;
          EXPECT_TRUE(ValidImei(value)) << value;
          ++units;
          if (outcome == "returned")
            continue;
          EXPECT_TRUE(holder.emplace(value, unit).second) << value << " went to two devices";
          byOutcome[outcome].insert(value);
        }
      });
  for (auto &t : stations)
    t.join();
  EXPECT_EQ(units, kHosts * kThreads * kUnits);
  const PoolCounts counts = CountsOf(*admin, "imei", pool.poolId);
  EXPECT_EQ(counts.verified, static_cast<int64_t>(byOutcome["verified"].size()));
  EXPECT_EQ(counts.burned, static_cast<int64_t>(byOutcome["burned"].size()));
  EXPECT_GT(counts.burned, 0);
  EXPECT_EQ(counts.reserved + counts.written, 0);
  EXPECT_EQ(counts.free + counts.verified + counts.burned, kPool);
  // Each burned value stays with the unit that burned it.
  for (const auto &value : byOutcome["burned"]) {
    const auto unit = QueryScalar(
        *admin, "SELECT unit_id FROM identity_values WHERE kind = 'imei' AND value = $1", {value});
    ASSERT_TRUE(unit);
    EXPECT_EQ(*unit, holder[value]);
  }

  // The server restarts under a host's stations: their reservations wait for it instead of
  // failing the unit, also on stations without a connection of their own.
  auto source = OpenIdentitySource(url, folder.Path(), &why);
  std::string first;
  ASSERT_TRUE(source && source->Reserve(NewUnitId(), "imei", &first, &why)) << why;
  auto *cluster = qrx::testing::SharedPgCluster(&why);
  ASSERT_TRUE(cluster->StopServer());
  std::thread restart([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    cluster->StartServer();
  });
  std::vector<std::thread> waiting;
  for (int s = 0; s < 4; ++s)
    waiting.emplace_back([&] {
      std::string value, error;
      EXPECT_TRUE(source->Reserve(NewUnitId(), "imei", &value, &error)) << error;
      EXPECT_NE(value, first);
    });
  for (auto &t : waiting)
    t.join();
  restart.join();
}

TEST(QrxIds, LoadsPoolsAndReportsThemAsJson) {
  TempFolder folder;
  const std::string db = "sqlite:" + folder.Path() + "/ids.db";
  auto run = [&](const std::string &args, std::string *out, bool withDb = true) {
    std::vector<std::string> argv{QRX_IDS_TOOL};
    if (withDb)
      argv.insert(argv.end(), {"--db", db});
    std::istringstream words(args);
    for (std::string word; words >> word;)
      argv.push_back(word);
    qrx::testing::ChildProcess tool;
    if (!tool.Start(argv))
      return -1;
    *out = tool.ReadAll();
    return tool.Wait();
  };
  std::string out;
  ASSERT_EQ(run("add-imei --tac 35209900 --from 0 --to 9999", &out), 0) << out;
  EXPECT_NE(out.find("10000 imei values added"), std::string::npos) << out;
  ASSERT_EQ(run("add-mac --oui 00:1A:2B --from 0 --to 0xFF --json", &out), 0) << out;
  EXPECT_EQ(nlohmann::json::parse(out).at("added"), 256);
  EXPECT_EQ(run("add-mac --oui 03:1A:2B --from 0 --to 1", &out), 1);
  EXPECT_NE(out.find("multicast"), std::string::npos) << out;
  EXPECT_EQ(run("add-sn --pattern SN{counter:3} --count 1001", &out), 1);
  EXPECT_NE(out.find("does not fit"), std::string::npos) << out;
  ASSERT_EQ(run("add-sn --pattern SN{counter:3} --count 10", &out), 0) << out;

  std::string error, value;
  auto source = OpenIdentitySource(db, folder.Path(), &error);
  ASSERT_TRUE(source) << error;
  const std::string unit = NewUnitId();
  ASSERT_TRUE(source->Reserve(unit, "sn", &value, &error)) << error;
  ASSERT_TRUE(source->MarkWritten(unit, "sn", value, &error)) << error;
  source->EndUnit(unit, false);

  ASSERT_EQ(run("report --json", &out), 0) << out;
  const auto report = nlohmann::json::parse(out);
  ASSERT_EQ(report.size(), 3u);
  EXPECT_EQ(report[0].at("kind"), "imei");
  EXPECT_EQ(report[0].at("free"), 10000);
  EXPECT_EQ(report[2].at("kind"), "sn");
  EXPECT_EQ(report[2].at("free"), 9);
  EXPECT_EQ(report[2].at("burned"), 1);
  ASSERT_EQ(run("recover --older-than 0.5 --json", &out), 0) << out;
  EXPECT_EQ(nlohmann::json::parse(out).at("freed"), 0);
  EXPECT_NE(run("recover --older-than -3", &out), 0) << out;
  EXPECT_EQ(run("--db mysql://x report", &out, false), 1);
  EXPECT_NE(out.find("wrong store URL"), std::string::npos) << out;
}
