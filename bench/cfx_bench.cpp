// CFX publishing and unit validation on loopback, against a RabbitMQ node of the benchmark's own:
// a unit's UnitsTested of 200 items written as text against the same body built as an
// nlohmann-json document and dumped (how it was done before, kept here as the baseline); units
// per second from the publisher until the broker has accepted every message; and the validation
// round trip with its 99th percentile against a small MES.
#include "amqp_outlet.h"
#include "cfx_format.h"
#include "cfx_sample.h"
#include "rabbit_test_node.h"
#include "test_mes.h"
#include "unit_validator.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

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

std::vector<store::UnitRecord> Units() {
  std::vector<store::UnitRecord> units;
  for (int i = 0; i < kUnitsPerBatch; ++i)
    units.push_back(testing::SampleUnit("B-" + std::to_string(i), 1 + i % 4, kItems));
  return units;
}

// The baseline: UnitsTested built as a document tree and dumped, as the publisher once did.
Json OldTime(int64_t us) { return us ? Json(CfxFormat::DateTime(us)) : Json(nullptr); }
Json OldNumber(const std::optional<double> &n) { return n ? Json(*n) : Json(nullptr); }
std::string OldUnitsTested(const store::UnitRecord &unit, const std::string &tx) {
  std::vector<Json> perStep(unit.steps.size() + 1, Json::array());
  for (const store::TestItemRecord &item : unit.items) {
    const size_t test = item.stepIndex >= 0 && size_t(item.stepIndex) < unit.steps.size() ? size_t(item.stepIndex) : unit.steps.size();
    Json m = Json::object(), v = Json::object();
    m["$type"] = "CFX.Structures.NumericMeasurement, CFX";
    v["Value"] = item.valueNumber.value_or(0.0);
    v["ValueUnits"] = v["ExpectedValue"] = v["ExpectedValueUnits"] = nullptr;
    v["MinimumAcceptableValue"] = OldNumber(item.lowerNumber);
    v["MinimumAcceptableValueUnits"] = nullptr;
    v["MaximumAcceptableValue"] = OldNumber(item.upperNumber);
    v["MaximumAcceptableValueUnits"] = nullptr;
    m["MeasuredValue"] = std::move(v);
    const int sequence = int(perStep[test].size()) + 1;
    m["UniqueIdentifier"] = CfxFormat::GuidFrom(tx, uint64_t(test + 1) << 32 | uint32_t(sequence));
    m["MeasurementName"] = item.name;
    m["TimeRecorded"] = OldTime(item.wallUs);
    m["Sequence"] = sequence;
    m["Result"] = item.passed ? "Passed" : "Failed";
    m["CRDs"] = nullptr;
    perStep[test].push_back(std::move(m));
  }
  Json tests = Json::array();
  for (size_t i = 0; i < perStep.size(); ++i) {
    const bool step = i < unit.steps.size();
    Json t = Json::object();
    t["UniqueIdentifier"] = CfxFormat::GuidFrom(tx, uint64_t(i + 1) << 32);
    t["TestName"] = step ? unit.steps[i].exportName : "Items outside steps";
    t["TestStartTime"] = OldTime(step ? unit.steps[i].startedUs : 0);
    t["TestEndTime"] = OldTime(step ? unit.steps[i].startedUs + unit.steps[i].durationUs : 0);
    t["TestConditions"] = Json::array();
    t["TestProcedure"] = step ? Json(unit.steps[i].exportName + "(" + unit.steps[i].arguments + ")") : Json(nullptr);
    t["Comments"] = nullptr;
    t["Result"] = !step || unit.steps[i].passed ? "Passed" : "Failed";
    t["Error"] = nullptr;
    t["SymptomsFound"] = t["DefectsFound"] = Json::array();
    t["Measurements"] = std::move(perStep[i]);
    tests.push_back(std::move(t));
  }
  Json tested = {{"UnitIdentifier", unit.serialNumber}, {"UnitPositionNumber", 1}, {"OverallResult", "Failed"}};
  tested["Tests"] = std::move(tests);
  Json b = {{"$type", "CFX.Production.TestAndInspection.UnitsTested, CFX"}, {"TransactionId", tx}, {"TestMethod", "FCT"},
            {"Tester", nullptr}, {"RecipeName", "phone_line.seq"}, {"RecipeRevision", "0123456789ab"}};
  b["SamplingInformation"] = {{"SamplingMethod", "NoSampling"}, {"LotSize", nullptr}, {"SampleSize", nullptr}};
  b["TestedUnits"] = Json::array({std::move(tested)});
  return b.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Building the UnitsTested envelope text of each unit: old (tree) against new (writer).
void BuildUnitsTested(benchmark::State &state, bool tree) {
  const std::vector<store::UnitRecord> units = Units();
  int64_t bytes = 0;
  for (auto _ : state)
    for (const store::UnitRecord &u : units) {
      const std::string tx = CfxFormat::NewGuid();
      std::string body = tree ? OldUnitsTested(u, tx) : CfxMessages::UnitsTested(u, tx);
      bytes += static_cast<int64_t>(CfxEnvelope::Make(names::kUnitsTested, "Acme", std::move(body)).ToText().size());
      benchmark::DoNotOptimize(bytes);
    }
  state.counters["units/s"] = benchmark::Counter(static_cast<double>(state.iterations() * kUnitsPerBatch),
                                                 benchmark::Counter::kIsRate);
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsRate);
}
void BM_BuildAsTree_Baseline(benchmark::State &state) { BuildUnitsTested(state, true); }
void BM_BuildAsText(benchmark::State &state) { BuildUnitsTested(state, false); }

// Every unit through the publisher, the outbox and the sender until the broker accepted all its
// messages (6 per unit); units end one by one (a live line) or 20 at a time (a collector reading
// a journal after a pause), queued in one transaction each. The exchange has no queue bound, so the broker's queue does not grow
// over the run: what is measured is the station's side and the broker's acceptance.
void BM_PublishUntilAccepted(benchmark::State &state) {
  if (!Node()) return state.SkipWithError("no RabbitMQ node");
  const std::vector<store::UnitRecord> units = Units();
  const std::string folder = std::filesystem::temp_directory_path() / ("qrx-cfx-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  AmqpUrl url;
  std::string error;
  AmqpUrl::Parse(Node()->Url("/exchange/amq.direct"), &url, &error);
  auto outlet = AmqpOutlet::Open(url, "Acme.Bench.1", folder + "/cfx-outbox.db", {}, nullptr, &error);
  if (!outlet) return state.SkipWithError(error.c_str());
  AmqpOutlet *raw = outlet.get();
  CfxPublisher::Settings settings;
  settings.handle = "Acme.Bench.1";
  settings.heartbeat = std::chrono::hours(1);
  CfxPublisher publisher(settings, std::move(outlet));
  publisher.OnCollectorStarted();
  raw->Sender().Flush(std::chrono::seconds(60));
  for (auto _ : state) {
    const size_t together = static_cast<size_t>(state.range(0));
    for (size_t i = 0; i < units.size(); i += together) {
      const size_t n = std::min(together, units.size() - i);
      for (size_t k = i; k < i + n; ++k) publisher.OnUnitStarted(units[k]);
      publisher.OnUnitsEnded(&units[i], n);
    }
    if (!raw->Sender().Flush(std::chrono::seconds(300))) return state.SkipWithError("the broker did not accept in time");
  }
  state.counters["units/s"] = benchmark::Counter(static_cast<double>(state.iterations() * kUnitsPerBatch),
                                                 benchmark::Counter::kIsRate);
  state.counters["messages/s"] = benchmark::Counter(static_cast<double>(state.iterations() * kUnitsPerBatch * 6),
                                                    benchmark::Counter::kIsRate);
  std::filesystem::remove_all(folder);
}

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

BENCHMARK(BM_BuildAsTree_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildAsText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PublishUntilAccepted)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);
BENCHMARK(BM_ValidationRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(500);

int main(int argc, char **argv) {
  mallopt(M_TRIM_THRESHOLD, -1);
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
