// Stations get the managers of their product type, initialised on their plug-in's shared SN
// object, and fail to come up without it.
#include "plugin_deployment.h"

#include "interface/station_context.h"
#include "plugins/qrx_bi_download_manager.h"
#include "plugins/qrx_ufi_bi_download_manager.h"
#include "sn/ssnufi_manager.h"
#include "sn/sssn_qrx_manager.h"

#include <qrx/qrx_interface.h>

#include <gtest/gtest.h>

namespace qrx::test {
namespace {

TEST(PluginStation, EachProductProgramsThroughItsOwnPlugin) {
  PluginDeployment d;
  ASSERT_EQ(InitQRXInterface(5, "Station.xml", "QRX"), 0);
  StationContext s;
  ASSERT_TRUE(FindStation(&s));
  EXPECT_NE(dynamic_cast<CSSSNQRXManager *>(s.snManager), nullptr);
  EXPECT_NE(dynamic_cast<CQRXBIDownloadManager *>(s.downloadManager), nullptr);
  EXPECT_EQ(dynamic_cast<CQRXUFiBIDownloadManager *>(s.downloadManager), nullptr);
  FakeControl *phone = PluginDeployment::Phone();
  phone->Clear();
  // The station's own thread index reaches the plug-in.
  EXPECT_EQ(s.snManager->ClosePort(), 0);
  EXPECT_EQ(phone->Calls(), std::vector<std::string>{"3(5)"});
  EXPECT_EQ(phone->loadCalls, 1);
  EXPECT_EQ(CleanUpQRXInterface(), 0);
  EXPECT_FALSE(FindStation(&s));

  // UFI stations, in any case of the type, share the UFI plug-in's SN object.
  ASSERT_EQ(InitQRXInterface(6, "Station.xml", "ufi"), 0);
  ASSERT_TRUE(FindStation(&s));
  EXPECT_NE(dynamic_cast<CSSNUFIManager *>(s.snManager), nullptr);
  EXPECT_NE(dynamic_cast<CQRXUFiBIDownloadManager *>(s.downloadManager), nullptr);
  EXPECT_EQ(s.snManager->OpenPort(1, 2), 0);
  EXPECT_EQ(PluginDeployment::Ufi()->Calls().back(), "116(6)");
  EXPECT_EQ(CleanUpQRXInterface(), 0);
  // A second station later finds the same, already loaded SN object.
  ASSERT_EQ(InitQRXInterface(7, "Station.xml", "UFI"), 0);
  EXPECT_EQ(PluginDeployment::Ufi()->loadCalls, 1);
  EXPECT_EQ(CleanUpQRXInterface(), 0);
}

// A station whose plug-in is missing, or gives no SN object, does not come up; the others do.
TEST(PluginStation, StationWithoutItsPluginOrSnObjectDoesNotComeUp) {
  PluginDeployment d({.phone = true, .ufi = false, .others = true});
  StationContext s;
  EXPECT_EQ(InitQRXInterface(8, "Station.xml", "UFI"), 1);
  EXPECT_FALSE(FindStation(&s));
  bool reported = false;
  for (const Box &b : Boxes()) reported |= b.caption == "Error" && b.text == "Load BI dll fail";
  EXPECT_TRUE(reported);
  PluginDeployment::Phone()->loadReturnsNull = true;
  EXPECT_EQ(InitQRXInterface(9, "Station.xml", "QRX"), 1);
  EXPECT_FALSE(FindStation(&s));
  PluginDeployment::Phone()->loadReturnsNull = false;
  ASSERT_EQ(InitQRXInterface(10, "Station.xml", "QRX"), 0);
  EXPECT_EQ(CleanUpQRXInterface(), 0);
  EXPECT_EQ(CleanUpQRXInterface(), 0) << "a thread without a station has nothing to clean up";
}

} // namespace
} // namespace qrx::test
