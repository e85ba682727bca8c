// RegisterObserver and UnRegisterObserver: the host's observers hear the test items that the
// test libraries log, once each, until removed; bad registrations never crash a station.
#include "export_fixture.h"

#include <thread>

namespace qrx::test {
namespace {

struct HostObserver : ILogObserver {
  void OnLog(int level, std::string line) override { heard.push_back({level, line}); }
  std::vector<std::pair<int, std::string>> heard;
};

// The line of the recorder's test item: value 37 within 30 and 40, passed.
std::string RecorderItemLine(const std::string &item) {
  return "\xB2\xE2\xCA\xD4\xCF\xEE\xC4\xBF=" + item + "\t\t" + // 测试项目
         "\xB2\xE2\xCA\xD4\xCA\xFD\xD6\xB5=37\t\t" +           // 测试数值
         "\xC9\xCF\xCF\xDE=40.00\t\t" +                         // 上限
         "\xCF\xC2\xCF\xDE=30.00\t\t" +                         // 下限
         "\xB2\xE2\xCA\xD4\xBD\xE1\xB9\xFB=PASS";               // 测试结果
}

class Observers : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(s.Up());
    s.Tell("Recorder.LogItem", "TxPower");
  }
  ExportStation s;
  HostObserver first, second;
};

TEST_F(Observers, RegisteredObserversHearEachItemOnce) {
  EXPECT_EQ(RegisterObserver(&first), 0);
  EXPECT_EQ(RegisterObserver(&second), 0);
  EXPECT_EQ(RegisterObserver(&first), 0) << "a second registration changes nothing";
  EXPECT_EQ(Init_TestInterface(), 0);
  const std::vector<std::pair<int, std::string>> once = {{16, RecorderItemLine("TxPower")}};
  EXPECT_EQ(first.heard, once);
  EXPECT_EQ(second.heard, once);

  EXPECT_EQ(UnRegisterObserver(&first), 0);
  EXPECT_EQ(UnRegisterObserver(&first), 0) << "removing an absent observer is no failure";
  EXPECT_EQ(GSM_NST_MeasPower(1, 2, 3), 0);
  EXPECT_EQ(first.heard.size(), 1u);
  EXPECT_EQ(second.heard.size(), 2u);
}

TEST_F(Observers, ThreadWithoutStationIsRefused) {
  int registered = 0, unregistered = 0;
  std::thread([&] {
    registered = RegisterObserver(&first);
    unregistered = UnRegisterObserver(&first);
  }).join();
  EXPECT_EQ(registered, 1);
  EXPECT_EQ(unregistered, 1);
  EXPECT_EQ(Init_TestInterface(), 0);
  EXPECT_TRUE(first.heard.empty()) << "not registered with this station";
}

TEST_F(Observers, NullObserverNeverReachesTheLog) {
  RegisterObserver(nullptr);
  EXPECT_EQ(RegisterObserver(&first), 0);
  EXPECT_EQ(Init_TestInterface(), 0) << "logging with a null registration must not crash";
  EXPECT_EQ(first.heard.size(), 1u);
  UnRegisterObserver(nullptr);
}

TEST_F(Observers, StationWithoutHubRefuses) {
  StationFieldSwap without(RemoverOf(ExportService::kTestTools));
  EXPECT_EQ(RegisterObserver(&first), 1);
  EXPECT_EQ(UnRegisterObserver(&first), 1);
}

} // namespace
} // namespace qrx::test
