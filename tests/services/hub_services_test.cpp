// The log and locale services as a test library and a host reach them through the hub.
#include "hub/qrx_test_tools.h"
#include "recording_observer.h"

#include <gtest/gtest.h>

namespace qrx {
namespace {

using test::Heard;
using test::ItemLine;
using test::RecordingObserver;

class HubServicesTest : public ::testing::Test {
protected:
  void TearDown() override { hub_->Release(); }
  // A test library only ever sees the hub's interface.
  IMyTestTools *hub_ = new CQRXTestTools(3, "Station.xml", nullptr);
};

TEST_F(HubServicesTest, ObserversRegisteredAtTheHubHearTheLibrarysLines) {
  RecordingObserver host, other;
  EXPECT_EQ(hub_->RegisterLogObserver(&host), 1);
  EXPECT_EQ(hub_->RegisterLogObserver(&other), 1);
  EXPECT_EQ(hub_->RegisterLogObserver(&host), 1);
  ILogService *log = hub_->GetLogService();
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(log, hub_->GetLogService()) << "one log service per station";
  EXPECT_EQ(log->LogTestItem("GsmFt", "TxPower", 32.004, 33, 31, 1, 9), 0);
  std::vector<Heard> expected{{16, ItemLine("TxPower", "32.00", "33", "31", "PASS")}};
  EXPECT_EQ(host.heard, expected);
  EXPECT_EQ(other.heard, expected);

  EXPECT_EQ(hub_->UnregisterLogObserver(&host), 1);
  EXPECT_EQ(hub_->UnregisterLogObserver(&host), 1) << "a second removal still answers 1";
  EXPECT_EQ(log->LogMessage("GsmFt", "done", 2, 0), 0);
  EXPECT_EQ(host.heard.size(), 1u);
  EXPECT_EQ(other.heard.back(), (Heard{2, "done"}));

  // Another station has a log and observers of its own.
  IMyTestTools *second = new CQRXTestTools(4, "Station.xml", nullptr);
  RecordingObserver theirs;
  second->RegisterLogObserver(&theirs);
  EXPECT_NE(log, second->GetLogService());
  second->GetLogService()->LogMessage("s", "second station", 1, 0);
  EXPECT_EQ(theirs.heard, (std::vector<Heard>{{1, "second station"}}));
  EXPECT_EQ(other.heard.size(), 2u);
  // Releasing a hub never calls its observers: they are the host's and outlive the station.
  second->Release();
  EXPECT_EQ(theirs.heard.size(), 1u);
}

TEST_F(HubServicesTest, LocaleServiceAnswersEmptyAndZero) {
  ILocaleService *locale = hub_->GetLocaleService();
  ASSERT_NE(locale, nullptr);
  EXPECT_EQ(locale->Reserved0(), nullptr);
  EXPECT_EQ(locale->GetText(0, 936) + locale->GetText(-1, -5), "");
  EXPECT_EQ((std::vector<int>{locale->Reserved3(42), locale->Reserved5("zh-CN", 936),
                              locale->Reserved6(std::string(1 << 16, 'x')), locale->Reserved7()}),
            std::vector<int>(4, 0));
  EXPECT_TRUE(locale->GetNameList().empty()) << "nothing above may add a name";
}

} // namespace
} // namespace qrx
