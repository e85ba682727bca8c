// CFX publishing and unit validation on loopback, against a RabbitMQ node of the benchmark's own,
// raw JSON bodies (the baseline) against gzip-compressed ones: building a unit's UnitsTested of
// 200 items, and units per second from the publisher until the broker has accepted every
// message, with the CPU the station and the broker spend per unit; and the validation round
// trip with its 99th percentile against a small MES.
#include "amqp_outlet.h"
#include "cfx_format.h"
#include "cfx_gzip.h"
#include "cfx_sample.h"
#include "rabbit_test_node.h"
#include "test_mes.h"
#include "unit_validator.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

using namespace qrx;
using namespace qrx::cfx;

namespace {

constexpr int kItems = 200;
constexpr int kUnitsPerBatch = 200;

testing::RabbitTestNode *Node() {
  static std::unique_ptr<testing::RabbitTestNode> node = [] {
    auto n = std::make_unique<testing::RabbitTestNode>();
    std::string error;
    if (!n->Start(&error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return std::unique_ptr<testing::RabbitTestNode>();
    }
    return n;
  }();
  return node.get();
}

std::vector<store::UnitRecord> Units(int items = kItems) {
  std::vector<store::UnitRecord> units;
  for (int i = 0; i < kUnitsPerBatch; ++i)
    units.push_back(testing::SampleUnit("B-" + std::to_string(i), 1 + i % 4, items));
  return units;
}

// CPU seconds this process (publisher, outbox, sender thread) and the broker's Erlang VM used.
double OwnCpuSeconds() {
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}
double BrokerCpuSeconds() {
  std::ifstream in("/proc/" + std::to_string(Node()->NodePid()) + "/stat");
  std::string line;
  std::getline(in, line);
  std::istringstream fields(line.substr(line.rfind(')') + 2)); // after the command's name
  std::string field;
  double ticks = 0;
  for (int i = 3; fields >> field && i <= 15; ++i)
    if (i >= 14) ticks += std::stod(field); // utime, stime
  return ticks / double(sysconf(_SC_CLK_TCK));
}

// Building the UnitsTested envelope text of each unit, raw (the baseline) or gzip-compressed at
// the level given: what the station's CPU pays per unit and what it saves in bytes.
void BuildUnitsTested(benchmark::State &state, int level) {
  const std::vector<store::UnitRecord> units = Units();
  int64_t bytes = 0, sent = 0;
  for (auto _ : state)
    for (const store::UnitRecord &u : units) {
      const std::string tx = CfxFormat::NewGuid();
      std::string text = CfxEnvelope::Make(names::kUnitsTested, "Acme", CfxMessages::UnitsTested(u, tx)).ToText();
      bytes += static_cast<int64_t>(text.size());
      sent += static_cast<int64_t>(level ? CfxGzip::Compress(text, level).size() : text.size());
      benchmark::DoNotOptimize(sent);
    }
  const double unitsBuilt = static_cast<double>(state.iterations() * kUnitsPerBatch);
  state.counters["units/s"] = benchmark::Counter(unitsBuilt, benchmark::Counter::kIsRate);
  state.counters["JSON_MB/s"] = benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsRate);
  state.counters["bytes/unit"] = static_cast<double>(sent) / unitsBuilt;
}
void BM_BuildRaw_Baseline(benchmark::State &state) { BuildUnitsTested(state, 0); }
void BM_BuildGzip(benchmark::State &state) { BuildUnitsTested(state, static_cast<int>(state.range(0))); }

// Every unit through the publisher, the outbox and the sender until the broker accepted all its
// messages (6 per unit), raw (the baseline) or gzip-compressed; units end one by one (a live
// line) or 20 at a time (a collector reading a journal after a pause), queued in one
// transaction each. Arguments: gzip level (0: raw), units ended together, items per unit (2:
// small bodies, which tell the broker's cost per message from its cost per byte). The queue is
// durable, as a factory's is, and emptied between rounds: the broker stores every byte.
void Publish(benchmark::State &state) {
  if (!Node()) return state.SkipWithError("no RabbitMQ node");
  const int level = static_cast<int>(state.range(0));
  const size_t together = static_cast<size_t>(state.range(1));
  const std::vector<store::UnitRecord> units = Units(static_cast<int>(state.range(2)));
  const std::string folder = std::filesystem::temp_directory_path() / ("qrx-cfx-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  AmqpUrl url;
  std::string error;
  AmqpUrl::Parse(Node()->Url("/queue/cfx-bench"), &url, &error);
  auto outlet = AmqpOutlet::Open(url, "Acme.Bench.1", folder + "/cfx-outbox.db", {}, level, nullptr, &error);
  if (!outlet) return state.SkipWithError(error.c_str());
  AmqpOutlet *raw = outlet.get();
  CfxPublisher::Settings settings;
  settings.handle = "Acme.Bench.1";
  settings.heartbeat = std::chrono::hours(1);
  CfxPublisher publisher(settings, std::move(outlet));
  publisher.OnCollectorStarted();
  raw->Sender().Flush(std::chrono::seconds(60));
  double own = 0, broker = 0;
  for (auto _ : state) {
    const double own0 = OwnCpuSeconds(), broker0 = BrokerCpuSeconds();
    for (size_t i = 0; i < units.size(); i += together) {
      const size_t n = std::min(together, units.size() - i);
      for (size_t k = i; k < i + n; ++k) publisher.OnUnitStarted(units[k]);
      publisher.OnUnitsEnded(&units[i], n);
    }
    if (!raw->Sender().Flush(std::chrono::seconds(300))) return state.SkipWithError("the broker did not accept in time");
    own += OwnCpuSeconds() - own0;
    broker += BrokerCpuSeconds() - broker0;
    state.PauseTiming(); // the queue emptied, as a consumer would
    const std::string drain = std::string(QRX_CFX_TAIL) + " --json --idle 0.3 " + url.Shown() + " >/dev/null";
    if (std::system(drain.c_str()) != 0) return state.SkipWithError("the queue cannot be emptied");
    state.ResumeTiming();
  }
  const double published = static_cast<double>(state.iterations() * kUnitsPerBatch);
  state.counters["units/s"] = benchmark::Counter(published, benchmark::Counter::kIsRate);
  state.counters["messages/s"] = benchmark::Counter(published * 6, benchmark::Counter::kIsRate);
  state.counters["own_cpu_us/unit"] = own * 1e6 / published;
  state.counters["broker_cpu_us/unit"] = broker * 1e6 / published;
  std::filesystem::remove_all(folder);
}
void BM_PublishRaw_Baseline(benchmark::State &state) { Publish(state); }
void BM_PublishGzip(benchmark::State &state) { Publish(state); }

// One ValidateUnitsRequest and its response on a connection of its own, as qrx-run asks.
void BM_ValidationRoundTrip(benchmark::State &state) {
  testing::TestMes mes;
  AmqpUrl url;
  std::string error;
  AmqpUrl::Parse(mes.Url(), &url, &error);
  UnitValidator validator(url, "Acme.Bench.1", std::chrono::seconds(10));
  std::vector<double> micros;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    if (validator.Validate("OK-1").kind != ValidationAnswer::Kind::Accepted)
      return state.SkipWithError("not accepted");
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(micros.begin(), micros.end());
  state.counters["p50_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}

} // namespace

BENCHMARK(BM_BuildRaw_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildGzip)->Arg(1)->Arg(3)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PublishRaw_Baseline)->Args({0, 1, kItems})->Args({0, 20, kItems})->Args({0, 20, 2})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);
BENCHMARK(BM_PublishGzip)->Args({1, 1, kItems})->Args({1, 20, kItems})->Args({1, 20, 2})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);
BENCHMARK(BM_ValidationRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(500);

int main(int argc, char **argv) {
  mallopt(M_TRIM_THRESHOLD, -1);
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
