// Results store and identity pools: units per second into SQLite and PostgreSQL from four
// stations (200 items a unit), what recording a unit costs a station thread against building
// the record itself, and identity allocations per second with their 99th percentile from eight
// processes sharing one PostgreSQL pool.
#include "identity_pool_admin.h"
#include "pg_connection.h"
#include "pg_test_cluster.h"
#include "queued_unit_sink.h"
#include "schema_migrations.h"
#include "spooling_pg_writer.h"
#include "sqlite_unit_writer.h"
#include "store_factory.h"
#include "unit_samples.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

using namespace qrx;
using namespace qrx::store;

namespace {

constexpr int kItems = 200;
constexpr int kStations = 4;

testing::PgTestCluster *Cluster() {
  // Durable settings: a unit's commit waits for the server's log flush, as on a real line.
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

// A fresh database per call: a benchmark function runs several times while its iteration
// count is found.
std::string PgDatabase(const std::string &name) {
  static int calls = 0;
  std::string url;
  if (!Cluster() || !Cluster()->CreateDatabase(name + std::to_string(++calls), &url))
    return {};
  return url;
}

void Quiet(const std::string &) {}

int64_t ThreadCpuNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

// Four station threads record units of 200 items; the time runs until the store has them all.
void RunStations(benchmark::State &state, UnitSink &sink, QueuedUnitSink &queued) {
  constexpr int kUnitsPerStation = 25;
  std::vector<UnitRecord> units;
  for (int s = 0; s < kStations; ++s)
    units.push_back(testing::SampleUnit(testing::NewUnitId(), s + 1, kItems));
  int64_t total = 0;
  for (auto _ : state) {
    std::vector<std::thread> stations;
    for (int s = 0; s < kStations; ++s)
      stations.emplace_back([&, s] {
        UnitRecord u = units[s];
        for (int i = 0; i < kUnitsPerStation; ++i) {
          u.unitId = testing::NewUnitId();
          sink.BeginUnit(testing::HeaderOf(u));
          sink.EndUnit(u);
        }
      });
    for (auto &t : stations)
      t.join();
    queued.Flush(std::chrono::minutes(5));
    total += kStations * kUnitsPerStation;
  }
  state.counters["units/s"] = benchmark::Counter(static_cast<double>(total),
                                                 benchmark::Counter::kIsRate);
}

void BM_UnitsIntoSqlite(benchmark::State &state) {
  testing::TempFolder folder;
  std::string error;
  auto writer = SqliteUnitWriter::Open(folder.Path() + "/results.db", &error);
  if (!writer) {
    state.SkipWithError(error.c_str());
    return;
  }
  QueuedUnitSink sink(std::move(writer), Quiet);
  RunStations(state, sink, sink);
}
BENCHMARK(BM_UnitsIntoSqlite)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_UnitsIntoPostgres(benchmark::State &state) {
  const std::string url = PgDatabase("bench_units");
  testing::TempFolder folder;
  std::string error;
  auto writer = url.empty() ? nullptr
                            : SpoolingPgWriter::Open(url, folder.Path() + "/spool.db", Quiet,
                                                     &error);
  if (!writer) {
    state.SkipWithError(("no PostgreSQL store: " + error).c_str());
    return;
  }
  QueuedUnitSink sink(std::move(writer), Quiet);
  RunStations(state, sink, sink);
}
BENCHMARK(BM_UnitsIntoPostgres)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

// Baseline: what a host spends building a 200-item unit record anyway.
void BM_BuildUnitRecord(benchmark::State &state) {
  const std::string id = testing::NewUnitId();
  for (auto _ : state) {
    UnitRecord u = testing::SampleUnit(id, 1, kItems);
    benchmark::DoNotOptimize(u);
  }
}
BENCHMARK(BM_BuildUnitRecord)->Unit(benchmark::kMicrosecond);

// What BeginUnit and EndUnit of a 200-item unit cost the station thread (the writer thread
// writes SQLite meanwhile; the queue is drained outside the measured time).
void BM_RecordUnitStationThread(benchmark::State &state) {
  testing::TempFolder folder;
  std::string error;
  auto writer = SqliteUnitWriter::Open(folder.Path() + "/results.db", &error);
  if (!writer) {
    state.SkipWithError(error.c_str());
    return;
  }
  QueuedUnitSink sink(std::move(writer), Quiet);
  // Baseline in the same run: the station thread's CPU time to build the record it hands over.
  constexpr int kBuilds = 200;
  const int64_t buildStart = ThreadCpuNs();
  for (int i = 0; i < kBuilds; ++i)
    benchmark::DoNotOptimize(testing::SampleUnit(testing::NewUnitId(), 1, kItems));
  const double buildUs = (ThreadCpuNs() - buildStart) / 1e3 / kBuilds;
  UnitRecord u = testing::SampleUnit(testing::NewUnitId(), 1, kItems);
  const UnitRecord header = testing::HeaderOf(u);
  int64_t n = 0, recordNs = 0;
  for (auto _ : state) {
    const int64_t t0 = ThreadCpuNs();
    sink.BeginUnit(header);
    sink.EndUnit(u);
    recordNs += ThreadCpuNs() - t0;
    if (++n % 256 == 0) {
      state.PauseTiming();
      sink.Flush(std::chrono::minutes(5));
      state.ResumeTiming();
    }
  }
  const double recordUs = n ? recordNs / 1e3 / n : 0;
  state.counters["record_cpu_us"] = recordUs;
  state.counters["build_cpu_us"] = buildUs;
  state.counters["record/build"] = buildUs > 0 ? recordUs / buildUs : 0;
  std::printf("recording a %d-item unit costs the station thread %.1f us of CPU (goal < 2000 us), "
              "%.2f times building the record (%.1f us)\n",
              kItems, recordUs, buildUs > 0 ? recordUs / buildUs : 0, buildUs);
}
BENCHMARK(BM_RecordUnitStationThread)->Unit(benchmark::kMicrosecond);

// Eight processes, four threads each, reserve and write IMEIs from one pool; each allocation's
// latency goes back to the parent through a pipe with the value, to find the 99th percentile
// and any duplicate.
void BM_IdentityAllocationsEightProcesses(benchmark::State &state) {
  constexpr int kProcesses = 8, kThreads = 4, kPerThread = 150;
  const std::string url = PgDatabase("bench_ids");
  std::string error;
  auto admin = url.empty() ? nullptr : PgConnection::Open(url, &error);
  PoolLoadResult pool;
  if (!admin || !MigrateSchema(*admin, &error) ||
      !AddImeiPool(*admin, "35209900", 0, 999999, &pool, &error)) {
    state.SkipWithError(("no PostgreSQL pool: " + error).c_str());
    return;
  }
  struct Sample {
    int64_t ns;
    char value[16];
  };
  std::vector<Sample> samples;
  double seconds = 0;
  for (auto _ : state) {
    int fds[2];
    if (pipe(fds) != 0) {
      state.SkipWithError("pipe");
      return;
    }
    const auto start = std::chrono::steady_clock::now();
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
      const pid_t child = fork();
      if (child == 0) {
        close(fds[0]);
        std::string why;
        auto source = OpenIdentitySource(url, "/tmp", &why);
        std::mutex out;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads && source; ++t)
          threads.emplace_back([&] {
            for (int i = 0; i < kPerThread; ++i) {
              const std::string unit = testing::NewUnitId();
              std::string value, e;
              const auto t0 = std::chrono::steady_clock::now();
              const bool ok = source->Reserve(unit, "imei", &value, &e);
              const auto t1 = std::chrono::steady_clock::now();
              if (ok)
                source->MarkWritten(unit, "imei", value, &e);
              source->EndUnit(unit, true);
              Sample s{std::chrono::duration_cast<std::chrono::nanoseconds>(t1 - t0).count(), {}};
              std::snprintf(s.value, sizeof s.value, "%s", ok ? value.c_str() : "");
              std::lock_guard lock(out);
              if (write(fds[1], &s, sizeof s) != sizeof s)
                _exit(3);
            }
          });
        for (auto &t : threads)
          t.join();
        _exit(source ? 0 : 2);
      }
      children.push_back(child);
    }
    close(fds[1]);
    Sample s;
    while (read(fds[0], &s, sizeof s) == sizeof s)
      samples.push_back(s);
    close(fds[0]);
    for (pid_t child : children)
      waitpid(child, nullptr, 0);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  std::set<std::string> values;
  int64_t failed = 0;
  std::vector<int64_t> latencies;
  for (const Sample &s : samples) {
    if (!s.value[0])
      ++failed;
    else
      values.insert(s.value);
    latencies.push_back(s.ns);
  }
  std::sort(latencies.begin(), latencies.end());
  const double p99 = latencies.empty() ? 0 : latencies[latencies.size() * 99 / 100] / 1e6;
  state.counters["allocs/s"] = samples.size() / seconds;
  state.counters["p99_ms"] = p99;
  state.counters["duplicates"] = static_cast<double>(samples.size() - failed - values.size());
  state.counters["failed"] = static_cast<double>(failed);
  std::printf("identity allocations from %d processes x %d threads: %zu in %.2f s = %.0f/s, "
              "p99 %.2f ms, %zu duplicates, %lld failed (goal 1000/s, no duplicate)\n",
              kProcesses, kThreads, samples.size(), seconds, samples.size() / seconds, p99,
              samples.size() - failed - values.size(), static_cast<long long>(failed));
}
BENCHMARK(BM_IdentityAllocationsEightProcesses)->Iterations(1)->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv) {
  mallopt(M_TRIM_THRESHOLD, -1);
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
