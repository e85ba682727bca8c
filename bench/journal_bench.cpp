// The station journal's cost on the station thread, in one run: an export call (three staged
// integers, a test library that returns at once) and a test item (the all-real LogTestItem, no
// observers), each with and without the station's journal; and one bare append of a line of
// the same length into a mapped journal file, the copy's share of what the journal adds.
#include "export_deployment.h"
#include "hub/qrx_test_tools.h"
#include "interface/station_context.h"
#include "journal/station_journal.h"
#include "platform/mapped_append_file.h"

#include <qrx/log_service.h>
#include <qrx/qrx_interface.h>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

qrx::CQRXTestTools *g_hub = nullptr;
std::unique_ptr<qrx::journal::StationJournal> g_journal; // the station's, while it has none

// Takes the journal from the station or gives it back.
void Recording(bool on) {
  if (on == (g_hub->Journal() != nullptr)) return;
  if (on) {
    g_hub->SetJournal(std::move(g_journal));
    qrx::journal::StationJournal::SetCurrent(g_hub->Journal());
  } else {
    qrx::journal::StationJournal::SetCurrent(nullptr);
    g_journal = g_hub->SetJournal(nullptr);
  }
}

void Call(benchmark::State &state, bool on) {
  Recording(on);
  for (auto _ : state) benchmark::DoNotOptimize(GSM_NST_MeasPower(1, 62, 5));
}

void Item(benchmark::State &state, bool on) {
  Recording(on);
  ILogService *log = g_hub->GetLogService();
  for (auto _ : state)
    benchmark::DoNotOptimize(log->LogTestItem("bench", "VSWR", 1.234, 1.5, 0.5, 1, 0));
}

void BM_CallWithoutJournal(benchmark::State &state) { Call(state, false); }
void BM_CallWithJournal(benchmark::State &state) { Call(state, true); }
void BM_ItemWithoutJournal(benchmark::State &state) { Item(state, false); }
void BM_ItemWithJournal(benchmark::State &state) { Item(state, true); }
// One append of a 300-byte line, as each event costs the file: into files of the journal's
// bound, each removed when it is full, as the journal's rotation and retention do.
constexpr uint64_t kFileBytes = 16u << 20;
void BM_BareAppend(benchmark::State &state) {
  qrx::platform::MappedAppendFile file;
  const std::string path = g_hub->ModuleDirectory() + "bare-append.jsonl";
  const std::string line = std::string(299, 'x') + "\n";
  for (auto _ : state) {
    if (!file.IsOpen() && !file.Open(path, nullptr)) return state.SkipWithError("cannot open");
    benchmark::DoNotOptimize(file.Append(line, nullptr));
    if (file.Size() < kFileBytes) continue;
    file.Close();
    std::remove(path.c_str());
  }
  file.Close();
  std::remove(path.c_str());
}

BENCHMARK(BM_BareAppend);
BENCHMARK(BM_CallWithoutJournal);
BENCHMARK(BM_CallWithJournal);
BENCHMARK(BM_ItemWithoutJournal);
BENCHMARK(BM_ItemWithJournal);

// CPU time of the station thread: what the journal costs it, however busy the machine is.
class TimeReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs)
      if (run.run_type == Run::RT_Iteration && run.iterations > 0)
        nanoseconds[run.benchmark_name()] = run.GetAdjustedCPUTime() *
                                            (run.time_unit == benchmark::kMicrosecond ? 1e3 : 1.0);
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> nanoseconds;
};

void PrintRatio(const char *what, double without, double with, double append) {
  if (without <= 0 || with <= 0) return;
  std::printf("%s: %.3f us without the journal, %.3f us with it: %.2fx, %.3f us added, of "
              "which %.3f us the append of the line (goal: under 1 us added)\n",
              what, without / 1e3, with / 1e3, with / without, (with - without) / 1e3,
              append / 1e3);
}

} // namespace

int main(int argc, char **argv) {
  mallopt(M_TRIM_THRESHOLD, -1);
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  int status = 0;
  {
    qrx::test::ExportDeployment deployment(QRX_INSTANT_LIBRARY);
    // Files rotate and the folder stays small however long the run.
    std::ofstream(deployment.Root() / "BusinessCfg" / "Recording.xml")
        << "<Recording><Journal><Folder>Journal</Folder><MaxFileBytes>" << kFileBytes
        << "</MaxFileBytes>"
           "<MaxFolderBytes>67108864</MaxFolderBytes></Journal></Recording>";
    qrx::StationContext station;
    if (InitQRXInterface(1, "Station.xml", "QRX") != 0 || !qrx::FindStation(&station) ||
        !station.testTools->Journal()) {
      std::fprintf(stderr, "no recording station\n");
      return 1;
    }
    g_hub = station.testTools;
    TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double append = reporter.nanoseconds["BM_BareAppend"];
    PrintRatio("export call", reporter.nanoseconds["BM_CallWithoutJournal"],
               reporter.nanoseconds["BM_CallWithJournal"], append);
    PrintRatio("test item", reporter.nanoseconds["BM_ItemWithoutJournal"],
               reporter.nanoseconds["BM_ItemWithJournal"], append);
    Recording(true);
    CleanUpQRXInterface();
  }
  benchmark::Shutdown();
  return status;
}
