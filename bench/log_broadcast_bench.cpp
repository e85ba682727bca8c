// The log broadcast of one test item to three observers, against formatting the same line
// with nobody listening, and against the same broadcast followed by the host's structured
// record (QRX_SetTestItemHandler), in the same run.
#include "services/qrx_log_service.h"

#include <qrx/host_events.h>

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

// Keeps the record's texts and numbers, as a host filling a unit record does.
struct KeptItem {
  std::string item, value, lower, upper, verdict;
  double number = 0;
};

void KeepItem(void *context, const QRXTestItemEvent *e) {
  auto *kept = static_cast<KeptItem *>(context);
  kept->item = e->item;
  kept->value = e->value;
  kept->lower = e->lower;
  kept->upper = e->upper;
  kept->verdict = e->verdict;
  kept->number = e->value_number + static_cast<double>(e->monotonic_ns & 1);
  benchmark::DoNotOptimize(kept);
}

void LogItem(benchmark::State &state, int observerCount, const char *item = "LTE_B3_TxPower") {
  qrx::CQRXLogService log;
  CountingObserver observers[3];
  for (int i = 0; i < observerCount; ++i) log.AddObserver(&observers[i]);
  IMyLogServer *service = &log;
  for (auto _ : state)
    benchmark::DoNotOptimize(
        service->LogTestItem("LteFt", item, 22.8731, 24.0, 20.0, 1, 0));
}

void LogItemWithHandler(benchmark::State &state, const char *item) {
  KeptItem kept;
  QRX_SetTestItemHandler(&KeepItem, &kept);
  LogItem(state, 3, item);
  QRX_SetTestItemHandler(nullptr, nullptr);
}

void BM_FormatTestItemNoObserver(benchmark::State &state) { LogItem(state, 0); }
void BM_BroadcastTestItemToThreeObservers(benchmark::State &state) { LogItem(state, 3); }

void BM_BroadcastAndRecordTestItem(benchmark::State &state) {
  LogItemWithHandler(state, "LTE_B3_TxPower");
}
// An item name in GBK (发射功率) is converted to UTF-8 for the record.
void BM_BroadcastAndRecordGbkTestItem(benchmark::State &state) {
  LogItemWithHandler(state, "\xB7\xA2\xC9\xE4\xB9\xA6\xC2\xCA");
}

BENCHMARK(BM_FormatTestItemNoObserver);
BENCHMARK(BM_BroadcastTestItemToThreeObservers);
BENCHMARK(BM_BroadcastAndRecordTestItem);
BENCHMARK(BM_BroadcastAndRecordGbkTestItem);

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
