// qrx-collector against journals written line by line as the library writes them: units whole
// and exactly once, bad journals, kill -9 of the collector and of a host, a PostgreSQL restart
// under a running collector, and bounded memory over many units.
#include "deployment_journals.h"
#include "journal_script.h"
#include "sqlite_connection.h"
#include "store_factory.h"
#include "store_test_cluster.h"
#include "unit_samples.h"

#include "platform/host_process.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

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

std::vector<UnitRecord> Stored(const Deployment &d, const std::string &db = "") {
  std::string error;
  auto units = store::ReadStoredUnits(db, d.dir.Path(), &error);
  EXPECT_EQ(error, "");
  return units;
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

// Starts qrx-collector with args; its pid.
pid_t StartCollector(const std::vector<std::string> &args) {
  const pid_t child = fork();
  if (child == 0) {
    std::vector<char *> argv{const_cast<char *>(QRX_COLLECTOR)};
    for (const auto &a : args)
      argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(QRX_COLLECTOR, argv.data());
    _exit(127);
  }
  return child;
}

// Waits for the collector; its exit status, and its peak memory in KiB in *maxRssKb.
int WaitCollector(pid_t child, long *maxRssKb = nullptr) {
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  if (maxRssKb)
    *maxRssKb = usage.ru_maxrss;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int64_t Count(const std::string &dbFile, const std::string &sql) {
  std::string error;
  auto db = store::SqliteConnection::Open(dbFile, &error);
  const auto value = db ? store::QueryScalar(*db, sql) : std::nullopt;
  return value ? std::stoll(*value) : -1;
}

} // namespace

TEST(Collector, RecordsEveryUnitWholeOnceAndMarksRecordedFilesDone) {
  Deployment d;
  JournalScript ended(d.Journal(), Machine(), getpid(), 0);
  ended.StationStart();
  ended.Unit("SN1", 5, true);
  ended.Unit("SN2", 5, false);
  ended.StationEnd();
  JournalScript running(d.Journal(), Machine(), getpid(), 1); // this process: a live host
  running.StationStart();
  running.Unit("SN3", 2, true);
  running.Unit("SN4", 2, true, false);
  ended.Flush();
  running.Flush();

  EXPECT_EQ(Collect(d).counters.units, 3); // SN4 is still being tested
  auto units = Stored(d);
  ASSERT_EQ(units.size(), 3u);
  const UnitRecord *pass = BySerial(units, "SN1"), *fail = BySerial(units, "SN2");
  ASSERT_TRUE(pass && fail);
  EXPECT_EQ(pass->verdict, UnitVerdict::Pass);
  EXPECT_EQ(pass->productType, "QRX");
  EXPECT_EQ(pass->businessConfig, "Phone.xml");
  ASSERT_EQ(pass->steps.size(), 3u);
  EXPECT_EQ(pass->steps[1].arguments, "1, 62, 5");
  ASSERT_EQ(pass->items.size(), 5u);
  EXPECT_EQ(pass->items[0].lower, "30");
  EXPECT_EQ(pass->items[0].upperNumber, 33.0);
  EXPECT_EQ(pass->items[0].stepIndex, 1); // logged during the call that followed
  ASSERT_EQ(pass->identities.size(), 1u);
  EXPECT_EQ(pass->identities[0].value, "SN1");
  EXPECT_EQ(pass->identities[0].action, "written");
  EXPECT_EQ(fail->verdict, UnitVerdict::Fail);
  EXPECT_EQ(fail->firstFailingStep, 1);
  EXPECT_NE(fail->failureReason.find("GSM_NST_MeasPower"), std::string::npos);
  EXPECT_TRUE(d.Done(ended.FileName()));
  EXPECT_FALSE(d.Done(running.FileName()));

  // Nothing twice: a second run finds nothing new until the live host goes on.
  EXPECT_EQ(Collect(d).counters.units, 0);
  running.EndUnit("SN4");
  running.StationEnd();
  running.Flush();
  EXPECT_EQ(Collect(d).counters.units, 1);
  units = Stored(d);
  EXPECT_EQ(units.size(), 4u);
  ASSERT_TRUE(BySerial(units, "SN4"));
  EXPECT_EQ(BySerial(units, "SN4")->items.size(), 2u);
  EXPECT_TRUE(d.Done(running.FileName()));
}

TEST(Collector, BadJournalsAreSkippedCountedOrRefusedNeverFatal) {
  struct Case {
    const char *name;
    bool hostDead;
    std::function<void(JournalScript &)> write;
    std::vector<std::pair<std::string, UnitVerdict>> units;
    int64_t torn;
    const char *problem; // "" for none
    bool done;
  };
  const std::vector<Case> cases = {
      {"host killed mid-unit, torn last line", true,
       [](JournalScript &j) {
         j.Unit("SN5", 3, true);
         j.Unit("SN6", 3, true, false);
         j.Raw(R"({"v":1,"seq":99,"type":"it)");
       },
       {{"SN5", UnitVerdict::Pass}, {"SN6", UnitVerdict::Incomplete}}, 1, "", true},
      {"newer format", false,
       [](JournalScript &j) {
         j.Unit("SN7", 1, true);
         j.Raw(R"({"v":2,"seq":6,"type":"call"})" "\n");
         j.Unit("SN8", 1, true);
         j.StationEnd();
       },
       {{"SN7", UnitVerdict::Pass}}, 0, "newer than the 1 this qrx-collector reads", false},
      {"rotated mid-unit", false,
       [](JournalScript &j) {
         j.Unit("SN9", 2, true);
         j.Unit("SN10", 2, true, false);
         j.Rotate();
         j.EndUnit("SN10");
         j.StationEnd();
       },
       {{"SN9", UnitVerdict::Pass}, {"SN10", UnitVerdict::Pass}}, 0, "", true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Deployment d;
    JournalScript j(d.Journal(), Machine(), c.hostDead ? DeadPid() : getpid(), 0);
    const std::string first = j.FileName();
    j.StationStart();
    c.write(j);
    j.Flush();
    const Outcome outcome = Collect(d);
    EXPECT_EQ(outcome.counters.tornLines, c.torn);
    if (*c.problem) {
      ASSERT_EQ(outcome.problems.size(), 1u);
      EXPECT_NE(outcome.problems[0].find(c.problem), std::string::npos) << outcome.problems[0];
    } else {
      EXPECT_TRUE(outcome.problems.empty());
    }
    const auto units = Stored(d);
    ASSERT_EQ(units.size(), c.units.size());
    for (const auto &[serial, verdict] : c.units) {
      const UnitRecord *u = BySerial(units, serial);
      ASSERT_TRUE(u) << serial;
      EXPECT_EQ(u->verdict, verdict) << serial;
      EXPECT_EQ(u->steps.size(), 3u) << serial; // whole, also across a rotation
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
    for (int station = 0; station < 2; ++station) {
      JournalScript j(d.Journal(), Machine(), DeadPid(), station);
      j.StationStart();
      for (int u = 0; u < kUnits / 2; ++u)
        j.Unit("S" + std::to_string(station) + "-" + std::to_string(u), kItems, u % 5 != 0);
      j.StationEnd();
    }
    const std::string db = d.dir.Path() + "/Results/results.db";
    const std::string bus = "amqp://127.0.0.1:1/queue/cfx";
    const pid_t collector = StartCollector({"--station", d.dir.Path(), "--batch", "1", "--cfx", bus});
    while (Count(db, "SELECT COUNT(*) FROM units") < killAt)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(collector, SIGKILL);
    WaitCollector(collector);
    ASSERT_LT(Count(db, "SELECT COUNT(*) FROM units"), kUnits);
    EXPECT_EQ(WaitCollector(StartCollector({"--station", d.dir.Path(), "--once", "--cfx", bus})), 0);
    EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM units"), kUnits);
    for (const char *message : {"WorkStarted", "TestAndInspection.UnitsTested", "WorkCompleted"})
      EXPECT_EQ(Count(d.dir.Path() + "/Results/cfx-outbox.db",
                      std::string("SELECT COUNT(*) FROM cfx_outbox WHERE message_name LIKE '%.") + message + "'"),
                kUnits) << message;
    EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM items"), kUnits * kItems);
    EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM units WHERE verdict = 'incomplete'"), 0);
    EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM journal_positions"), 2);
  }
}

TEST(Collector, PostgreSqlRestartedUnderARunningCollector) {
  std::string why;
  const std::string url = FreshPgDatabase(&why);
  ASSERT_FALSE(url.empty()) << why;
  PgTestCluster *cluster = SharedPgCluster(&why);
  Deployment d;
  std::vector<std::string> messages;
  DeploymentJournals journals({d.dir.Path(), url, 64}, {},
                              [&](const std::string &m) { messages.push_back(m); });
  ASSERT_TRUE(journals.Open(&why)) << why;
  JournalScript j(d.Journal(), Machine(), getpid(), 0);
  j.StationStart();
  auto units = [&](int n) {
    for (int i = 0; i < n; ++i)
      j.Unit(NewUnitId(), 10, true);
    j.Flush();
    while (journals.Poll() > 0) {
    }
  };
  units(20);
  ASSERT_TRUE(cluster->StopServer());
  units(20); // spooled
  EXPECT_TRUE(journals.Problems().empty());
  ASSERT_TRUE(cluster->StartServer());
  units(10);
  j.StationEnd();
  j.Flush();
  for (int i = 0; i < 50 && journals.OpenRuns() > 0; ++i) {
    journals.Poll();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(journals.Counters().units, 50);
  EXPECT_EQ(journals.OpenRuns(), 0u);
  auto stored = Stored(d, url);
  for (int i = 0; i < 50 && stored.size() < 50; ++i) { // the spool is forwarded while idle
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    journals.Poll();
    stored = Stored(d, url);
  }
  EXPECT_EQ(stored.size(), 50u);
  for (const auto &u : stored)
    EXPECT_EQ(u.items.size(), 10u);
  EXPECT_TRUE(d.Done(j.FileName()));
  bool spooled = false;
  for (const auto &m : messages)
    spooled |= m.find("forwarded when the server is back") != std::string::npos;
  EXPECT_TRUE(spooled);
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
    for (int station = 0; station < 4; ++station) {
      JournalScript j(d.Journal(), Machine(), DeadPid(), station);
      j.StationStart();
      for (int u = 0; u < counts[i] / 4; ++u) {
        j.Unit(NewUnitId(), 10, u % 7 != 0);
        if (u % 1000 == 999)
          j.Rotate();
      }
      j.StationEnd();
    }
    const pid_t collector =
        StartCollector({"--station", d.dir.Path(), "--once", "--web", "127.0.0.1:0"});
    EXPECT_EQ(WaitCollector(collector, &peak[i]), 0);
  }
  EXPECT_LE(peak[1], peak[0] * 13 / 10) << peak[0] << " KiB after 2,400 units, " << peak[1]
                                        << " KiB after 12,000";

  // qrx-run alike: four stations of the simulated line, a short sequence, every unit recorded.
  TempFolder station;
  fs::copy(QRX_STATION_DIR, station.Path(), fs::copy_options::recursive);
  fs::remove_all(station.Path() + "/Journal");
  fs::remove_all(station.Path() + "/Results");
  const std::string sequence = station.Path() + "/fast.seq";
  std::ofstream(sequence) << "@product QRX\n@config QRX_Station.xml\nInit_TestInterface()\n"
                             "GSM_NST_MeasPower(1, 62, 5)\n";
  for (int i = 0; i < 2; ++i) {
    const pid_t run = fork();
    if (run == 0) {
      const std::string units = std::to_string(counts[i] / 4);
      if (!freopen("/dev/null", "w", stdout))
        _exit(126);
      execl(QRX_RUN, QRX_RUN, "--station", station.Path().c_str(), "--stations", "4", "--units",
            units.c_str(), "--quiet", sequence.c_str(), static_cast<char *>(nullptr));
      _exit(127);
    }
    EXPECT_EQ(WaitCollector(run, &peak[i]), 0);
  }
  EXPECT_LE(peak[1], peak[0] * 13 / 10) << "qrx-run: " << peak[0] << " KiB after 2,400 units, "
                                        << peak[1] << " KiB after 12,000";
}

// A factory's own host in C, with no extra export, on four stations of the simulated line:
// every unit recorded whole; after kill -9 of the host mid-unit, the units it had finished
// whole and the cut ones as incomplete.
TEST(Collector, CHostOnFourStationsIsRecordedWholeAlsoWhenKilledMidUnit) {
  TempFolder dir;
  fs::copy(QRX_STATION_DIR, dir.Path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::remove_all(dir.Path() + "/Journal");
  fs::remove_all(dir.Path() + "/Results");
  auto host = [&](const std::vector<std::string> &args) {
    const pid_t child = fork();
    if (child == 0) {
      std::vector<char *> argv{const_cast<char *>(QRX_C_HOST), const_cast<char *>(dir.Path().c_str())};
      for (const auto &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
      argv.push_back(nullptr);
      execv(QRX_C_HOST, argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
  };
  const int normal = host({"3"});
  ASSERT_TRUE(WIFEXITED(normal) && WEXITSTATUS(normal) == 0);
  EXPECT_EQ(WaitCollector(StartCollector({"--station", dir.Path(), "--once"})), 0);
  std::string error;
  auto units = store::ReadStoredUnits("", dir.Path(), &error);
  ASSERT_EQ(units.size(), 12u) << error;
  for (int s = 0; s < 4; ++s)
    for (int u = 0; u < 3; ++u) {
      char serial[32];
      std::snprintf(serial, sizeof serial, "C%dU%04d", s, u);
      const UnitRecord *unit = BySerial(units, serial);
      ASSERT_TRUE(unit) << serial;
      EXPECT_EQ(unit->verdict, UnitVerdict::Pass) << serial;
      EXPECT_EQ(unit->threadIndex, s);
      EXPECT_EQ(unit->steps.size(), 9u) << serial;
      ASSERT_FALSE(unit->items.empty()) << serial;
      EXPECT_FALSE(unit->items[0].lower.empty() && unit->items[0].upper.empty()) << serial;
      int written = 0;
      for (const auto &id : unit->identities)
        written += id.action == "written" && (id.value == serial || id.kind == "imei");
      EXPECT_EQ(written, 2) << serial;
    }

  const int killed = host({"2", "kill"});
  ASSERT_TRUE(WIFSIGNALED(killed));
  EXPECT_EQ(WaitCollector(StartCollector({"--station", dir.Path(), "--once"})), 0);
  units = store::ReadStoredUnits("", dir.Path(), &error);
  ASSERT_EQ(units.size(), 24u) << error;
  int incomplete = 0;
  for (const auto &u : units)
    incomplete += u.verdict == UnitVerdict::Incomplete;
  EXPECT_EQ(incomplete, 4);
  for (const auto &entry : fs::directory_iterator(dir.Path() + "/Journal")) {
    if (entry.path().extension() == ".jsonl") {
      EXPECT_TRUE(fs::exists(entry.path().string() + ".done")) << entry.path();
    }
  }
}
