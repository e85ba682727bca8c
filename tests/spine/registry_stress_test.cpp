// Many threads creating, using and destroying stations at once.
#include "deployment.h"
#include "hub/qrx_test_tools.h"
#include "interface/qrx_export_service.h"
#include "interface/station_registry.h"

#include <qrx/qrx_interface.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace qrx {
namespace {

void Quiet(void *, const char *, const char *) {}

TEST(RegistryStress, StationsComeAndGoWithoutLosingAnyone) {
  test::Deployment deployment;
  QRX_SetMessageBoxHandler(&Quiet, nullptr);
  constexpr int kThreads = 8;
  constexpr int kRounds = 25;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      for (int r = 0; r < kRounds; ++r) {
        if (InitQRXInterface(t, "S.xml", (r + t) % 2 ? "UFI" : "QRX") != 0) { ++failures; continue; }
        StationContext s;
        if (!FindStation(&s)) { ++failures; continue; }
        s.testTools->GetParameterDataSet()->SetString("In", "x");
        if (s.calService->CallExport("Echo") != 100 + t) ++failures;
        if (CleanUpQRXInterface() != 0) ++failures;
        if (FindStation(&s)) ++failures;
      }
    });
  }
  for (auto &th : threads) th.join();
  QRX_SetMessageBoxHandler(nullptr, nullptr);
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(StationRegistry::Instance().Size(), 0u);
}

} // namespace
} // namespace qrx
