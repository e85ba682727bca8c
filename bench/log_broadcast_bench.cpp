// The log broadcast of one test item to three observers, against formatting the same line
// with nobody listening, in the same run.
#include "services/qrx_log_service.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

namespace {

// Takes its copy of the line and keeps its length, as a host's list view would.
class CountingObserver : public ILogObserver {
public:
  void OnLog(int level, std::string line) override {
    bytes += line.size() + static_cast<std::size_t>(level);
    benchmark::DoNotOptimize(bytes);
  }
  std::size_t bytes = 0;
};

void LogItem(benchmark::State &state, int observerCount) {
  qrx::CQRXLogService log;
  CountingObserver observers[3];
  for (int i = 0; i < observerCount; ++i) log.AddObserver(&observers[i]);
  IMyLogServer *service = &log;
  for (auto _ : state)
    benchmark::DoNotOptimize(
        service->LogTestItem("LteFt", "LTE_B3_TxPower", 22.8731, 24.0, 20.0, 1, 0));
}

void BM_FormatTestItemNoObserver(benchmark::State &state) { LogItem(state, 0); }
void BM_BroadcastTestItemToThreeObservers(benchmark::State &state) { LogItem(state, 3); }

BENCHMARK(BM_FormatTestItemNoObserver);
BENCHMARK(BM_BroadcastTestItemToThreeObservers);

} // namespace

int main(int argc, char **argv) {
  mallopt(M_TRIM_THRESHOLD, -1);
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
