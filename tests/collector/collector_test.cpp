// qrx-collector against journals written line by line as the library writes them: units whole
// and exactly once, bad journals, kill -9 of the collector and of a host, a PostgreSQL restart
// under qrx-run drawing identities and recording its units, and bounded memory over many units.
#include "deployment_journals.h"
#include "identity_pool_admin.h"
#include "child_process.h"
#include "journal_script.h"
#include "pg_connection.h"
#include "schema_migrations.h"
#include "sqlite_connection.h"
#include "store_factory.h"
#include "store_test_cluster.h"
#include "unit_samples.h"

#include "platform/host_process.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <tuple>

using namespace qrx;
using namespace qrx::testing;
using collector::CollectorCounters;
using collector::DeploymentJournals;
using store::UnitRecord;
using store::UnitVerdict;
namespace fs = std::filesystem;

namespace {

struct Deployment {
  TempFolder dir;
  Deployment() { WriteRecordingSettings(dir.Path()); }
  std::string Journal() const { return dir.Path() + "/Journal"; }
  bool Done(const std::string &file) const { return fs::exists(Journal() + "/" + file + ".done"); }
};

// A copy of the simulated station, without journals or results.
struct SimulatedStation : TempFolder {
  SimulatedStation() {
    fs::copy(QRX_STATION_DIR, Path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::remove_all(Path() + "/Journal");
    fs::remove_all(Path() + "/Results");
  }
};

struct Outcome {
  CollectorCounters counters;
  std::vector<std::string> problems;
};

Outcome Collect(const Deployment &d, const std::string &db = "") {
  DeploymentJournals journals({d.dir.Path(), db, 64}, {}, [](const std::string &) {});
  std::string error;
  EXPECT_TRUE(journals.Open(&error)) << error;
  while (journals.Poll() > 0) {
  }
  return {journals.Counters(), journals.Problems()};
}

const UnitRecord *BySerial(const std::vector<UnitRecord> &units, const std::string &serial) {
  for (const auto &u : units)
    if (u.serialNumber == serial)
      return &u;
  return nullptr;
}

int64_t DeadPid() {
  const pid_t child = fork();
  if (child == 0)
    _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

std::string Machine() { return platform::host::MachineName(); }

// Runs a program to its end with its output dropped: its exit status (-1 when a signal ended
// it), and its peak memory in KiB in *peakKb.
int RunToEnd(const std::vector<std::string> &argv, long *peakKb = nullptr) {
  ChildProcess child;
  return child.Start(argv, "/dev/null") ? child.Wait(peakKb) : -1;
}

// Journals of finished units on several stations of a dead host, rotated every 1000 units.
void WriteUnits(const Deployment &d, int stations, int unitsPerStation, int items) {
  for (int station = 0; station < stations; ++station) {
    JournalScript j(d.Journal(), Machine(), DeadPid(), station);
    j.StationStart();
    for (int u = 0; u < unitsPerStation; ++u) {
      j.Unit("S" + std::to_string(station) + "-" + std::to_string(u), items, u % 5 != 0);
      if (u % 1000 == 999)
        j.Rotate();
    }
    j.StationEnd();
  }
}

int64_t Count(const std::string &dbFile, const std::string &sql) {
  std::string error;
  auto db = store::SqliteConnection::Open(dbFile, &error);
  const auto value = db ? store::QueryScalar(*db, sql) : std::nullopt;
  return value ? std::stoll(*value) : -1;
}

} // namespace

// Journals as hosts leave them, each collected twice: every finished unit whole and once, bad
// lines skipped and counted or the file refused, never fatal; recorded files marked done.
TEST(Collector, JournalsBecomeWholeUnitsOnceAndBadOnesAreNeverFatal) {
  struct Unit {
    std::string serial;
    UnitVerdict verdict;
    size_t items;
  };
  struct Case {
    const char *name;
    bool hostDead;
    std::function<void(JournalScript &)> write, later; // later: after the first collection
    size_t firstUnits; // recorded by the first collection
    std::vector<Unit> units;
    int64_t torn;
    const char *problem; // "" for none
    bool done;
  };
  const std::vector<Case> cases = {
      {"a live host's unit waits for its end", false,
       [](JournalScript &j) {
         j.Unit("SN1", 5, true);
         j.Unit("SN2", 5, false);
         j.Unit("SN3", 2, true, false);
       },
       [](JournalScript &j) {
         j.EndUnit("SN3");
         j.StationEnd();
       },
       2, {{"SN1", UnitVerdict::Pass, 5}, {"SN2", UnitVerdict::Fail, 5}, {"SN3", UnitVerdict::Pass, 2}},
       0, "", true},
      {"host killed mid-unit while copying a line: torn, then the zero tail", true,
       [](JournalScript &j) {
         j.Unit("SN5", 3, true);
         j.Unit("SN6", 3, true, false);
         j.Raw(R"({"v":1,"seq":99,"type":"it)" + std::string(5000, '\0') + "m\"}\n");
       },
       {}, 2, {{"SN5", UnitVerdict::Pass, 3}, {"SN6", UnitVerdict::Incomplete, 3}}, 1, "", true},
      {"newer format", false,
       [](JournalScript &j) {
         j.Unit("SN7", 1, true);
         j.Raw(R"({"v":2,"seq":6,"type":"call"})" "\n");
         j.Unit("SN8", 1, true);
         j.StationEnd();
       },
       {}, 1, {{"SN7", UnitVerdict::Pass, 1}}, 0, "newer than the 1 this qrx-collector reads",
       false},
      {"rotated mid-unit", false,
       [](JournalScript &j) {
         j.Unit("SN9", 2, true);
         j.Unit("SN10", 2, true, false);
         j.Rotate();
         j.EndUnit("SN10");
         j.StationEnd();
       },
       {}, 2, {{"SN9", UnitVerdict::Pass, 2}, {"SN10", UnitVerdict::Pass, 2}}, 0, "", true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Deployment d;
    JournalScript j(d.Journal(), Machine(), c.hostDead ? DeadPid() : getpid(), 0);
    const std::string first = j.FileName();
    j.StationStart();
    c.write(j);
    j.Flush();
    Outcome outcome = Collect(d);
    EXPECT_EQ(outcome.counters.units, static_cast<int64_t>(c.firstUnits));
    if (c.later) {
      EXPECT_FALSE(d.Done(first));
      c.later(j);
      j.Flush();
      outcome = Collect(d);
    }
    EXPECT_EQ(outcome.counters.tornLines, c.torn);
    if (*c.problem) {
      ASSERT_EQ(outcome.problems.size(), 1u);
      EXPECT_NE(outcome.problems[0].find(c.problem), std::string::npos) << outcome.problems[0];
    } else {
      EXPECT_TRUE(outcome.problems.empty());
    }
    EXPECT_EQ(Collect(d).counters.units, 0); // nothing twice
    std::string error;
    const auto units = store::ReadStoredUnits("", d.dir.Path(), &error);
    ASSERT_EQ(units.size(), c.units.size()) << error;
    for (const Unit &want : c.units) {
      SCOPED_TRACE(want.serial);
      const UnitRecord *u = BySerial(units, want.serial);
      ASSERT_TRUE(u);
      // Whole (also across a rotation), with the items logged during the call that followed.
      ASSERT_EQ(std::tuple(u->verdict, u->productType, u->businessConfig, u->steps.size(),
                           u->items.size(), u->identities.size()),
                std::tuple(want.verdict, "QRX", "Phone.xml", 3u, want.items, 1u));
      EXPECT_EQ(std::tuple(u->steps[1].arguments, u->items[0].lower, u->items[0].upperNumber,
                           u->items[0].stepIndex, u->identities[0].value, u->identities[0].action),
                std::tuple("1, 62, 5", "30", 33.0, 1, want.serial, "written"));
      if (want.verdict == UnitVerdict::Fail) {
        EXPECT_EQ(u->firstFailingStep, 1);
        EXPECT_NE(u->failureReason.find("GSM_NST_MeasPower"), std::string::npos);
      }
    }
    EXPECT_EQ(d.Done(first), c.done);
    EXPECT_EQ(d.Done(j.FileName()), c.done);
  }
}

// kill -9 of the collector at a chosen number of recorded units, then a rerun: every unit
// once, none half. The bus's messages wait in the outbox (no broker listens): the rerun builds
// those of units read but not yet recorded again, under the same ids, so each is queued once.
TEST(Collector, KilledMidWriteThenRerunRecordsEveryUnitOnce) {
  constexpr int kUnits = 300, kItems = 20;
  for (int killAt : {1, 120}) {
    SCOPED_TRACE(killAt);
    Deployment d;
    WriteUnits(d, 2, kUnits / 2, kItems);
    const std::string db = d.dir.Path() + "/Results/results.db";
    const std::string bus = "amqp://127.0.0.1:1/queue/cfx";
    ChildProcess collector;
    ASSERT_TRUE(collector.Start({QRX_COLLECTOR, "--station", d.dir.Path(), "--batch", "1", "--cfx", bus},
                                "/dev/null"));
    while (Count(db, "SELECT COUNT(*) FROM units") < killAt)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    collector.Kill();
    collector.Wait();
    ASSERT_LT(Count(db, "SELECT COUNT(*) FROM units"), kUnits);
    EXPECT_EQ(RunToEnd({QRX_COLLECTOR, "--station", d.dir.Path(), "--once", "--cfx", bus}), 0);
    EXPECT_EQ(std::tuple(Count(db, "SELECT COUNT(*) FROM units"),
                         Count(db, "SELECT COUNT(*) FROM items"),
                         Count(db, "SELECT COUNT(*) FROM units WHERE verdict = 'incomplete'"),
                         Count(db, "SELECT COUNT(*) FROM journal_positions")),
              std::tuple(kUnits, kUnits * kItems, 0, 2));
    // A unit published again after the kill keeps its ids: the outbox holds each message once.
    for (const char *message : {"WorkStarted", "TestAndInspection.UnitsTested", "WorkCompleted"})
      EXPECT_EQ(Count(d.dir.Path() + "/Results/cfx-outbox.db",
                      std::string("SELECT COUNT(*) FROM cfx_outbox WHERE message_name LIKE '%.") + message + "'"),
                kUnits) << message;
  }
}

// A store that refuses one batch while later ones are already on their way: nothing after the
// refused units is kept before them, and once the store takes writes again every unit is
// recorded once.
TEST(Collector, ARefusedBatchIsReadAgainAndNothingAfterItIsKeptFirst) {
  Deployment d;
  WriteUnits(d, 2, 60, 100); // a few units per read, so a run's batches follow each other
  const std::string db = d.dir.Path() + "/Results/results.db";
  DeploymentJournals journals({d.dir.Path(), "", 4}, {}, [](const std::string &) {});
  std::string error;
  ASSERT_TRUE(journals.Open(&error)) << error;
  auto refuser = store::SqliteConnection::Open(db, &error);
  ASSERT_TRUE(refuser && refuser->Exec("CREATE TRIGGER refuse BEFORE INSERT ON units WHEN "
                                       "NEW.serial_number = 'S0-30' BEGIN SELECT RAISE(ABORT, "
                                       "'refused'); END"))
      << error;
  journals.Poll();
  EXPECT_EQ(journals.Counters().failedBatches, 1);
  // Of the refused unit's run only units before it may be in the store.
  EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM units WHERE serial_number LIKE 'S0-%' AND "
                      "CAST(substr(serial_number, 4) AS INTEGER) >= 30"),
            0);
  EXPECT_FALSE(journals.Problems().empty());
  ASSERT_TRUE(refuser->Exec("DROP TRIGGER refuse"));
  for (int i = 0; i < 100 && journals.OpenRuns() > 0; ++i) {
    journals.Poll();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(std::tuple(journals.Counters().units, Count(db, "SELECT COUNT(*) FROM units"),
                       Count(db, "SELECT COUNT(*) FROM items"), journals.Problems().size()),
            std::tuple(int64_t{120}, int64_t{120}, int64_t{12000}, size_t{0}));
}

// Weeks of units in bounded memory: the collector's peak after 12,000 units is no more than
// 1.3 times its peak after 2,400, live page included.
TEST(Collector, MemoryStaysBoundedOverManyUnits) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's own bookkeeping grows with every allocation";
#endif
  long peak[2] = {0, 0};
  const int counts[2] = {2400, 12000};
  for (int i = 0; i < 2; ++i) {
    Deployment d;
    WriteUnits(d, 4, counts[i] / 4, 10);
    EXPECT_EQ(RunToEnd({QRX_COLLECTOR, "--station", d.dir.Path(), "--once", "--web", "127.0.0.1:0"}, &peak[i]), 0);
  }
  EXPECT_LE(peak[1], peak[0] * 13 / 10) << peak[0] << " KiB after 2,400 units, " << peak[1]
                                        << " KiB after 12,000";

  // qrx-run alike: four stations of the simulated line, a short sequence, every unit recorded.
  SimulatedStation station;
  const std::string sequence = station.Path() + "/fast.seq";
  std::ofstream(sequence) << "@product QRX\n@config QRX_Station.xml\nInit_TestInterface()\n"
                             "GSM_NST_MeasPower(1, 62, 5)\n";
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(RunToEnd({QRX_RUN, "--station", station.Path(), "--stations", "4", "--units",
                   std::to_string(counts[i] / 4), "--quiet", sequence},
                  &peak[i]),
              0);
  // A station that writes fast maps its journal window in one 2 MiB large page; whether the
  // short run got there first depends on the machine's pace, so that much per station is
  // allowed on top.
  EXPECT_LE(peak[1], peak[0] * 13 / 10 + 4 * 2048)
      << "qrx-run: " << peak[0] << " KiB after 2,400 units, " << peak[1] << " KiB after 12,000";
}

// A factory's own host in C, with no extra export, on four stations of the simulated line:
// every unit recorded whole; after kill -9 of the host mid-unit, the units it had finished
// whole and the cut ones as incomplete.
TEST(Collector, CHostOnFourStationsIsRecordedWholeAlsoWhenKilledMidUnit) {
  SimulatedStation dir;
  ASSERT_EQ(RunToEnd({QRX_C_HOST, dir.Path(), "3"}), 0);
  EXPECT_EQ(RunToEnd({QRX_COLLECTOR, "--station", dir.Path(), "--once"}), 0);
  std::string error;
  auto units = store::ReadStoredUnits("", dir.Path(), &error);
  ASSERT_EQ(units.size(), 12u) << error;
  for (int s = 0; s < 4; ++s)
    for (int u = 0; u < 3; ++u) {
      char serial[32];
      std::snprintf(serial, sizeof serial, "C%dU%04d", s, u);
      const UnitRecord *unit = BySerial(units, serial);
      ASSERT_TRUE(unit) << serial;
      EXPECT_EQ(std::tuple(unit->verdict, unit->threadIndex, unit->steps.size()),
                std::tuple(UnitVerdict::Pass, s, 9u)) << serial;
      ASSERT_FALSE(unit->items.empty()) << serial;
      EXPECT_FALSE(unit->items[0].lower.empty() && unit->items[0].upper.empty()) << serial;
      EXPECT_EQ(std::count_if(unit->identities.begin(), unit->identities.end(), [&](const auto &id) {
                  return id.action == "written" && (id.value == serial || id.kind == "imei");
                }), 2) << serial;
    }

  ASSERT_EQ(RunToEnd({QRX_C_HOST, dir.Path(), "2", "kill"}), -1); // killed: its files keep the zero tail they are written into
  int zeroTailed = 0;
  for (const auto &entry : fs::directory_iterator(dir.Path() + "/Journal"))
    zeroTailed += std::ifstream(entry.path(), std::ios::binary).seekg(-1, std::ios::end).get() == 0;
  EXPECT_EQ(zeroTailed, 4);
  EXPECT_EQ(RunToEnd({QRX_COLLECTOR, "--station", dir.Path(), "--once"}), 0);
  units = store::ReadStoredUnits("", dir.Path(), &error);
  ASSERT_EQ(units.size(), 24u) << error;
  EXPECT_EQ(std::count_if(units.begin(), units.end(),
                          [](const UnitRecord &u) { return u.verdict == UnitVerdict::Incomplete; }), 4);
  for (const auto &entry : fs::directory_iterator(dir.Path() + "/Journal"))
    EXPECT_TRUE(entry.path().extension() != ".jsonl" || fs::exists(entry.path().string() + ".done"))
        << entry.path();
}

// qrx-run on four stations drawing identities from a PostgreSQL store whose server restarts
// under the running line: the identity calls wait for the server, its collector spools the
// units meanwhile, and every unit passes and is recorded, each with values of its own.
TEST(QrxRunIdentityPools, ALineGoesOnThroughAPostgreSqlRestart) {
  std::string why;
  const std::string url = FreshPgDatabase(&why);
  ASSERT_FALSE(url.empty()) << why;
  PgTestCluster *cluster = SharedPgCluster(&why);
  auto db = store::PgConnection::Open(url, &why);
  store::PoolLoadResult loaded;
  ASSERT_TRUE(db && store::MigrateSchema(*db, &why) &&
              store::AddSerialPool(*db, "RR{counter:6}", 1, 100, &loaded, &why) &&
              store::AddImeiPool(*db, "35209900", 0, 99, &loaded, &why)) << why;
  SimulatedStation station;
  const std::string sequence = station.Path() + "/pools.seq";
  std::ofstream(sequence) << "@product QRX\nInit_TestDLL_SN()\nOpenPort(1, 115200)\n@sleep 150\n"
                             "WriteSN(@sn, 0)\nReadSN(out=@sn, 0)\nWriteIMEI(@imei, 0)\n"
                             "ReadIMEI(out=@imei, 0)\nClosePort()\n";
  FILE *run = popen((std::string(QRX_RUN) + " --station " + station.Path() + " --stations 4 --units 6 "
                     "--quiet --store-wait 30 --db '" + url + "' " + sequence + " 2>&1").c_str(), "r");
  // Once the stations have reached the pools, the server goes away for two seconds.
  std::string output;
  std::thread restart;
  for (char line[4096]; run && std::fgets(line, sizeof line, run);) {
    output += line;
    if (!restart.joinable() && output.find("ok   " + sequence + ":7 WriteIMEI") != std::string::npos)
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
  ASSERT_TRUE((db = store::PgConnection::Open(url, &why)) != nullptr) << why;
  EXPECT_EQ(store::QueryScalar(*db, "SELECT COUNT(DISTINCT v.unit_id) || ' ' || COUNT(*) FROM "
                                    "identity_values v JOIN units u ON u.unit_id = v.unit_id AND "
                                    "u.verdict = 'pass' WHERE v.state = 'verified'"),
            "24 48");
  const auto units = store::ReadStoredUnits(url, station.Path(), &why);
  EXPECT_EQ(units.size(), 24u) << why;
  for (const auto &u : units)
    EXPECT_EQ(std::tuple(u.verdict, u.steps.size()), std::tuple(UnitVerdict::Pass, 7u)) << u.serialNumber;
}
