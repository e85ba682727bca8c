// A host-like process for the store tests: "units" records units until it is killed, "ids"
// allocates identities from several threads and prints what became of each value.
#include "store_factory.h"
#include "unit_samples.h"

#include "queued_unit_sink.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace qrx;

namespace {

int RecordUnitsUntilKilled(const std::string &url, const std::string &deployment) {
  std::string error;
  auto sink = store::OpenUnitSink(url, deployment, &error);
  if (!sink) {
    std::printf("error %s\n", error.c_str());
    return 1;
  }
  auto *queued = dynamic_cast<store::QueuedUnitSink *>(sink.get());
  for (int n = 0;; ++n) {
    const auto unit = testing::SampleUnit(testing::NewUnitId(), 1 + n % 4, 500);
    sink->BeginUnit(testing::HeaderOf(unit));
    if (queued)
      queued->Flush(); // the header (and every earlier unit) is on disk now
    std::printf("begun %s\n", unit.unitId.c_str());
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(30)); // the station tests
    sink->EndUnit(unit);
  }
}

int AllocateIdentities(const std::string &url, const std::string &deployment, int threads,
                       int units, const std::string &kind) {
  std::string error;
  auto source = store::OpenIdentitySource(url, deployment, &error);
  if (!source) {
    std::printf("error %s\n", error.c_str());
    return 1;
  }
  std::mutex out;
  bool failed = false;
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t)
    workers.emplace_back([&, t] {
      for (int i = 0; i < units; ++i) {
        const std::string unit = testing::NewUnitId();
        std::string value, again, why;
        bool ok = source->Reserve(unit, kind, &value, &why) &&
                  source->Reserve(unit, kind, &again, &why) && again == value;
        const char *outcome = "returned";
        if (ok && (i + t) % 7 != 3) {
          ok = source->MayProgram(unit, kind, value, &why) &&
               source->MarkWritten(unit, kind, value, &why);
          outcome = "burned";
          if (ok && (i + t) % 5 != 1) {
            ok = source->MarkVerified(unit, kind, value, &why);
            outcome = "verified";
          }
        }
        source->EndUnit(unit, std::string(outcome) != "burned");
        std::lock_guard lock(out);
        if (!ok) {
          std::printf("error %s\n", why.c_str());
          failed = true;
          return;
        }
        std::printf("%s %s %s\n", outcome, value.c_str(), unit.c_str());
      }
    });
  for (auto &w : workers)
    w.join();
  std::fflush(stdout);
  return failed ? 1 : 0;
}

} // namespace

int main(int argc, char **argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "units")
    return RecordUnitsUntilKilled(args[1], args[2]);
  if (args.size() == 6 && args[0] == "ids")
    return AllocateIdentities(args[1], args[2], std::atoi(args[3].c_str()),
                              std::atoi(args[4].c_str()), args[5]);
  std::fprintf(stderr, "usage: store_load_helper units URL DIR | ids URL DIR THREADS UNITS KIND\n");
  return 2;
}
