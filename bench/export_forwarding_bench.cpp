// Export forwarding on one station whose test library returns at once: Bs_Config_LTEFT with
// its 17 staged arguments through the staging-name cache and through the uncached path that
// reads Common.xml for every staging and unstaging, and a plain forwarder, in the same run.
#include "export_deployment.h"
#include "hub/qrx_test_tools.h"
#include "interface/station_context.h"

#include <qrx/qrx_interface.h>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

qrx::CQRXTestTools *g_hub = nullptr;

int BsConfig() {
  return Bs_Config_LTEFT(3, 1300, 23.5, -60.25, 1, 2, "465B5CE8B199B49FAAA5F0A2EE238A6B",
                         "001010123456789", 20, 0, 1, 0, 1200, 1949, 1200, 18000, 19200);
}

void BM_BsConfigCached(benchmark::State &state) {
  g_hub->StagingNames().SetEnabled(true);
  for (auto _ : state) benchmark::DoNotOptimize(BsConfig());
}

void BM_BsConfigUncached(benchmark::State &state) {
  g_hub->StagingNames().SetEnabled(false);
  for (auto _ : state) benchmark::DoNotOptimize(BsConfig());
  g_hub->StagingNames().SetEnabled(true);
}

void BM_PlainForwarder(benchmark::State &state) {
  for (auto _ : state) benchmark::DoNotOptimize(Init_Instrument_LTEFT());
}

BENCHMARK(BM_BsConfigCached);
BENCHMARK(BM_BsConfigUncached);
BENCHMARK(BM_PlainForwarder);

// Keeps each benchmark's time per call, to print the ratio after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs)
      if (run.run_type == Run::RT_Iteration && run.iterations > 0)
        nanoseconds[run.benchmark_name()] =
            run.GetAdjustedRealTime() * ToNanoseconds(run.time_unit);
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> nanoseconds;

private:
  static double ToNanoseconds(benchmark::TimeUnit unit) {
    switch (unit) {
    case benchmark::kNanosecond: return 1.0;
    case benchmark::kMicrosecond: return 1e3;
    case benchmark::kMillisecond: return 1e6;
    case benchmark::kSecond: return 1e9;
    }
    return 1.0;
  }
};

} // namespace

int main(int argc, char **argv) {
  mallopt(M_TRIM_THRESHOLD, -1);
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  int status = 0;
  {
    qrx::test::ExportDeployment deployment(QRX_INSTANT_LIBRARY);
    qrx::StationContext station;
    if (InitQRXInterface(1, "Station.xml", "QRX") != 0 || !qrx::FindStation(&station)) {
      std::fprintf(stderr, "no station\n");
      return 1;
    }
    g_hub = station.testTools;
    if (BsConfig() != 0) {
      std::fprintf(stderr, "Bs_Config_LTEFT does not reach its library\n");
      status = 1;
    } else {
      RatioReporter reporter;
      benchmark::RunSpecifiedBenchmarks(&reporter);
      const double cached = reporter.nanoseconds["BM_BsConfigCached"];
      const double uncached = reporter.nanoseconds["BM_BsConfigUncached"];
      const double plain = reporter.nanoseconds["BM_PlainForwarder"];
      if (cached > 0 && uncached > 0)
        std::printf("Bs_Config_LTEFT: cached %.2f us, uncached %.2f us, uncached/cached %.1fx "
                    "(goal: at least 50x, cached under 10 us); plain forwarder %.3f us\n",
                    cached / 1e3, uncached / 1e3, uncached / cached, plain / 1e3);
    }
    CleanUpQRXInterface();
  }
  benchmark::Shutdown();
  return status;
}
