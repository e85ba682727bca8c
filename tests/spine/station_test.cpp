// Station lifecycle across threads, the load-failure message, the hub seen by a library, and
// many threads creating, using and destroying stations at once.
#include "deployment.h"
#include "hub/qrx_test_tools.h"
#include "interface/qrx_export_service.h"
#include "interface/station_registry.h"
#include "platform/dynamic_library.h"
#include "platform/fault_injection.h"

#include <qrx/qrx_interface.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

namespace qrx {
namespace {

using test::Boxes;

class StationTest : public ::testing::Test {
protected:
  void TearDown() override { CleanUpQRXInterface(); }
  test::Deployment deployment_;
};

TEST_F(StationTest, StationIsFoundByItsThreadAndCallsItsLibraries) {
  ASSERT_EQ(InitQRXInterface(3, "Station.xml", "QRX"), 0);
  StationContext s;
  ASSERT_TRUE(FindStation(&s));
  EXPECT_EQ(s.wifiService, nullptr) << "a phone station has no WiFi service";
  ASSERT_NE(s.calService, nullptr);
  s.testTools->GetParameterDataSet()->SetString("In", "abc");
  EXPECT_EQ(s.calService->CallExport("Echo"), 103);
  std::string out;
  EXPECT_EQ(s.testTools->GetResultDataSet()->GetString("Out", out), 0);
  EXPECT_EQ(out, "abc");
  EXPECT_EQ(s.calService->CallExport("NoSuchFunction"), -1);
  EXPECT_EQ(s.gsmFtService->CallExport(nullptr), -1);
  std::string cfg;
  s.testTools->GetParameterDataSet()->GetString("ConfigFile", cfg);
  EXPECT_EQ(cfg, "Station.xml");
  EXPECT_EQ(s.calService->CallExport("ProbeSlots"), 0);
  EXPECT_TRUE(Boxes().empty());

  EXPECT_EQ(CleanUpQRXInterface(), 0);
  EXPECT_FALSE(FindStation(&s));
  EXPECT_EQ(CleanUpQRXInterface(), 0) << "no station: still 0";
}

TEST_F(StationTest, ProductTypeDecidesTheServicesInAnyCaseAndBadArgumentsAreRefused) {
  ASSERT_EQ(InitQRXInterface(1, "Ufi.xml", "ufi"), 0);
  StationContext s;
  ASSERT_TRUE(FindStation(&s));
  EXPECT_NE(s.wifiService, nullptr);
  EXPECT_EQ(CleanUpQRXInterface(), 0);

  EXPECT_EQ(InitQRXInterface(2, "X.xml", "PHONE"), 0) << "unknown type: 0 but no station";
  EXPECT_FALSE(FindStation(&s));
  EXPECT_FALSE(StationRegistry::Instance().Contains(2));
  EXPECT_TRUE(std::filesystem::exists(deployment_.Root() / "BusinessCfg" / "X.xml"))
      << "its hub was still seeded";
  EXPECT_EQ(InitQRXInterface(4, nullptr, "QRX"), 1);
  EXPECT_EQ(InitQRXInterface(4, "S.xml", nullptr), 1);
  EXPECT_FALSE(FindStation(&s));
}

TEST_F(StationTest, TakenIndexIsLeftAloneEvenFromAnotherThread) {
  ASSERT_EQ(InitQRXInterface(5, "A.xml", "QRX"), 0);
  StationContext mine;
  ASSERT_TRUE(FindStation(&mine));
  int other = -1;
  bool otherFound = true;
  std::thread t([&] {
    other = InitQRXInterface(5, "B.xml", "UFI");
    StationContext s;
    otherFound = FindStation(&s);
  });
  t.join();
  EXPECT_EQ(other, 0);
  EXPECT_FALSE(otherFound) << "the second thread got no station of its own";
  StationContext again;
  ASSERT_TRUE(FindStation(&again));
  EXPECT_EQ(again.testTools, mine.testTools);
  EXPECT_EQ(again.wifiService, nullptr) << "still the phone station";
}

// A failed start removes the station it began, and only that one: a thread's other station
// stays as it was, and a later start of the same index builds it.
TEST(StationLoadFailure, MissingLibraryShowsOneMessageAndRemovesOnlyThatStation) {
  test::Deployment deployment(/*withLte=*/false);
  EXPECT_EQ(InitQRXInterface(6, "S.xml", "QRX"), 1);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].caption, "Load QRX LTE FT service Error");
  EXPECT_EQ(Boxes()[0].text, "126");
  StationContext s;
  EXPECT_FALSE(FindStation(&s));
  EXPECT_FALSE(StationRegistry::Instance().Contains(6));

  deployment.Deploy(QRX_TEST_LIBRARY, "TestDll", "FinalTestLTE");
  ASSERT_EQ(InitQRXInterface(0, "S.xml", "QRX"), 0);
  StationContext first;
  ASSERT_TRUE(FindStation(&first));
  platform::FailNext(platform::Fault::kLoadLibrary, 1, /*after=*/3); // the LTE library, again
  EXPECT_EQ(InitQRXInterface(6, "S.xml", "QRX"), 1);
  platform::ClearFaults();
  EXPECT_EQ(Boxes().size(), 2u);
  EXPECT_FALSE(StationRegistry::Instance().Contains(6));
  ASSERT_TRUE(FindStation(&s));
  EXPECT_EQ(s.testTools, first.testTools) << "the thread's first station is untouched";
  EXPECT_EQ(s.calService->CallExport("ProbeSlots"), 0);
  EXPECT_EQ(InitQRXInterface(6, "S.xml", "QRX"), 0);
  ASSERT_TRUE(StationRegistry::Instance().FindByKey(6, &s));
  EXPECT_NE(s.lteFtService, nullptr) << "a later start builds it";
  QRX_SetMessageBoxHandler(nullptr, nullptr);
  EXPECT_EQ(CleanUpQRXInterface(), 0);
  EXPECT_EQ(CleanUpQRXInterface(), 0);
  EXPECT_FALSE(FindStation(&s));
}

TEST(ExportService, LibraryPathsAreTranslated) {
  EXPECT_EQ(platform::TranslateLibraryPath(".\\TestDll\\GsmFt.dll"), "./TestDll/GsmFt.so");
  EXPECT_EQ(platform::TranslateLibraryPath("libvisa.so"), "libvisa.so");
  EXPECT_EQ(platform::TranslateLibraryPath("a.dll.bak"), "a.dll.bak");
}

// POSIX systems only: the Windows suite leaves the stress test out.
#ifndef _WIN32
TEST(RegistryStress, StationsComeAndGoWithoutLosingAnyone) {
  test::Deployment deployment;
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
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(StationRegistry::Instance().Size(), 0u);
}
#endif

} // namespace
} // namespace qrx
