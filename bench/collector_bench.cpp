// qrx-collector's ingest: units of 200 items read from station journals and recorded in SQLite
// and in PostgreSQL, as units per second, against today's store writer path (the queued sink,
// a header and a whole unit per unit) with the same units in the same run. Beside the rate, the
// process's processor time per unit (all threads): on a busy machine the rate follows the load,
// the processor time much less.
#include "deployment_journals.h"
#include "journal_script.h"
#include "pg_test_cluster.h"
#include "queued_unit_sink.h"
#include "spooling_pg_writer.h"
#include "sqlite_unit_writer.h"
#include "unit_samples.h"

#include "platform/host_process.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>

using namespace qrx;
using namespace qrx::store;

namespace {

constexpr int kItems = 200;
constexpr int kStations = 4;
constexpr int kUnitsPerStation = 100;
constexpr int kUnits = kStations * kUnitsPerStation;

std::map<std::string, double> g_rates;  // units per second by benchmark
std::map<std::string, double> g_cpuMs;  // processor milliseconds per unit by benchmark

testing::PgTestCluster *Cluster() {
  // Durable settings: a commit waits for the server's log flush, as on a real line.
  static std::unique_ptr<testing::PgTestCluster> cluster = [] {
    auto c = std::make_unique<testing::PgTestCluster>();
    std::string error;
    if (!c->Start(&error, true)) {
      std::fprintf(stderr, "no PostgreSQL cluster: %s\n", error.c_str());
      c.reset();
    }
    return c;
  }();
  return cluster.get();
}

std::string PgDatabase() {
  static int calls = 0;
  std::string url;
  if (!Cluster() || !Cluster()->CreateDatabase("bench_collector" + std::to_string(++calls), &url))
    return {};
  return url;
}

void Quiet(const std::string &) {}

// Wall and processor time of the timed part, all threads of the process.
struct Timer {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  std::clock_t cpu = std::clock();
  void Add(double *seconds, double *cpuSeconds) const {
    *seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    *cpuSeconds += double(std::clock() - cpu) / CLOCKS_PER_SEC;
  }
};

void Report(benchmark::State &state, const std::string &name, int64_t units, double seconds,
            double cpuSeconds) {
  const double rate = seconds > 0 ? units / seconds : 0;
  g_rates[name] = rate;
  g_cpuMs[name] = units > 0 ? cpuSeconds * 1000 / units : 0;
  state.counters["units/s"] = rate;
  state.counters["cpu ms/unit"] = g_cpuMs[name];
}

// Four stations' journals of finished units, then the collector records them all.
void Ingest(benchmark::State &state, bool postgres) {
  int64_t units = 0;
  double seconds = 0, cpuSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string url = postgres ? PgDatabase() : std::string();
    if (postgres && url.empty()) {
      state.SkipWithError("no PostgreSQL cluster");
      return;
    }
    testing::TempFolder deployment;
    testing::WriteRecordingSettings(deployment.Path());
    for (int s = 0; s < kStations; ++s) {
      testing::JournalScript j(deployment.Path() + "/Journal", platform::host::MachineName(),
                               getpid(), s);
      j.StationStart();
      for (int u = 0; u < kUnitsPerStation; ++u)
        j.Unit("SN" + std::to_string(s) + "-" + std::to_string(u), kItems, u % 10 != 0);
      j.StationEnd();
    }
    collector::DeploymentJournals journals({deployment.Path(), url, 64}, {}, Quiet);
    std::string error;
    if (!journals.Open(&error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    state.ResumeTiming();
    const Timer timer;
    while (journals.Poll() > 0) {
    }
    timer.Add(&seconds, &cpuSeconds);
    units += journals.Counters().units;
    if (journals.Counters().units != kUnits)
      state.SkipWithError("not every unit was recorded");
  }
  Report(state, postgres ? "collector_pg" : "collector_sqlite", units, seconds, cpuSeconds);
}

// Today's path: a station hands a header and the whole unit to the queued sink, which writes
// each in a transaction of its own.
void StoreWriter(benchmark::State &state, bool postgres) {
  int64_t units = 0;
  double seconds = 0, cpuSeconds = 0;
  UnitRecord unit = testing::SampleUnit(testing::NewUnitId(), 1, kItems);
  for (auto _ : state) {
    state.PauseTiming();
    testing::TempFolder folder;
    std::string error;
    std::unique_ptr<UnitStoreWriter> writer;
    if (postgres) {
      const std::string url = PgDatabase();
      if (!url.empty())
        writer = SpoolingPgWriter::Open(url, folder.Path() + "/spool.db", Quiet, &error);
    } else {
      writer = SqliteUnitWriter::Open(folder.Path() + "/results.db", &error);
    }
    if (!writer) {
      state.SkipWithError(("no store: " + error).c_str());
      return;
    }
    QueuedUnitSink sink(std::move(writer), Quiet);
    state.ResumeTiming();
    const Timer timer;
    for (int i = 0; i < kUnits; ++i) {
      unit.unitId = testing::NewUnitId();
      sink.BeginUnit(testing::HeaderOf(unit));
      sink.EndUnit(unit);
    }
    sink.Flush(std::chrono::minutes(5));
    timer.Add(&seconds, &cpuSeconds);
    units += kUnits;
  }
  Report(state, postgres ? "store_pg" : "store_sqlite", units, seconds, cpuSeconds);
}

void BM_CollectorIngestSqlite(benchmark::State &state) { Ingest(state, false); }
void BM_StoreWriterSqlite(benchmark::State &state) { StoreWriter(state, false); }
void BM_CollectorIngestPostgres(benchmark::State &state) { Ingest(state, true); }
void BM_StoreWriterPostgres(benchmark::State &state) { StoreWriter(state, true); }
BENCHMARK(BM_CollectorIngestSqlite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StoreWriterSqlite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CollectorIngestPostgres)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StoreWriterPostgres)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv) {
  mallopt(M_TRIM_THRESHOLD, -1);
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const char *engine : {"sqlite", "pg"}) {
    const double ingest = g_rates["collector_" + std::string(engine)];
    const double today = g_rates["store_" + std::string(engine)];
    if (ingest > 0 && today > 0)
      std::printf("%s: the collector records %.0f units/s of %d items (goal %d), today's store "
                  "writer %.0f units/s: %.2fx; processor time per unit %.2f ms against %.2f ms\n",
                  engine, ingest, kItems, std::string(engine) == "pg" ? 500 : 1000, today,
                  ingest / today, g_cpuMs["collector_" + std::string(engine)],
                  g_cpuMs["store_" + std::string(engine)]);
  }
  return 0;
}
