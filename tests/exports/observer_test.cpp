// RegisterObserver and UnRegisterObserver: the host's observers hear the test items that the
// test libraries log, once each, until removed; bad registrations never crash a station.
#include "export_fixture.h"
#include "../services/recording_observer.h"

#include <thread>

namespace qrx::test {
namespace {

class Observers : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(s.Up());
    s.Tell("Recorder.LogItem", "TxPower");
  }
  ExportStation s;
  RecordingObserver first, second;
};

TEST_F(Observers, RegisteredObserversHearEachItemOnce) {
  EXPECT_EQ(RegisterObserver(&first), 0);
  EXPECT_EQ(RegisterObserver(&second), 0);
  EXPECT_EQ(RegisterObserver(&first), 0) << "a second registration changes nothing";
  EXPECT_EQ(Init_TestInterface(), 0);
  const std::vector<Heard> once = {{16, ItemLine("TxPower", "37", "40.00", "30.00", "PASS")}};
  EXPECT_EQ(first.heard, once);
  EXPECT_EQ(second.heard, once);

  EXPECT_EQ(UnRegisterObserver(&first), 0);
  EXPECT_EQ(UnRegisterObserver(&first), 0) << "removing an absent observer is no failure";
  EXPECT_EQ(GSM_NST_MeasPower(1, 2, 3), 0);
  EXPECT_EQ(first.heard.size(), 1u);
  EXPECT_EQ(second.heard.size(), 2u);
}

TEST_F(Observers, ThreadWithoutStationOrStationWithoutHubIsRefusedAndNullNeverReachesTheLog) {
  int registered = 0, unregistered = 0;
  std::thread([&] {
    registered = RegisterObserver(&first);
    unregistered = UnRegisterObserver(&first);
  }).join();
  EXPECT_EQ(registered, 1);
  EXPECT_EQ(unregistered, 1);
  {
    StationFieldSwap without(RemoverOf(ExportService::kTestTools));
    EXPECT_EQ(RegisterObserver(&first), 1);
    EXPECT_EQ(UnRegisterObserver(&first), 1);
  }
  RegisterObserver(nullptr);
  EXPECT_EQ(RegisterObserver(&second), 0);
  EXPECT_EQ(Init_TestInterface(), 0) << "logging with a null registration must not crash";
  EXPECT_TRUE(first.heard.empty()) << "not registered with this station";
  EXPECT_EQ(second.heard.size(), 1u);
  UnRegisterObserver(nullptr);
}

} // namespace
} // namespace qrx::test
