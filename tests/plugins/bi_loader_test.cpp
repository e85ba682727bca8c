// The four BI loaders: once-per-process loading, failure messages, the shared SN object and
// progress window with its download events, and the release order at unload; the stations
// that get the managers of their product type on them, and fail to come up without them.
#include "plugin_deployment.h"

#include "interface/station_context.h"
#include "platform/fault_injection.h"
#include "plugins/qrx_bi_download_manager.h"
#include "plugins/qrx_ufi_bi_download_manager.h"
#include "sn/call_back_dialog.h"
#include "sn/ssnufi_manager.h"
#include "sn/sssn_qrx_manager.h"

#include <qrx/qrx_interface.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace qrx::test {
namespace {

// The texts of the message boxes shown, each after its caption.
std::vector<std::string> Shown() {
  std::vector<std::string> shown;
  for (const Box &box : Boxes()) shown.push_back(box.caption + ": " + box.text);
  return shown;
}

int32_t QRX_CALLBACK FirstCallback(QRXDownloadEvent) { return 11; }
int32_t QRX_CALLBACK SecondCallback(QRXDownloadEvent) { return 22; }

// Loaded once, its root initialised; LoadQRXDll is asked again only while it answers null; a
// second request for the progress window replaces the callback.
TEST(BILoader, LoadsEachPluginOnceWithOneSnObjectAndOneWindow) {
  PluginDeployment d;
  CBISingleton *first = CBISingleton::GetInstance();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, CBISingleton::GetInstance());
  ASSERT_NE(first->RootObject(), nullptr);
  FakeControl *c = PluginDeployment::Phone();
  EXPECT_EQ(c->createCalls, 1);
  EXPECT_EQ(c->rootInitialiseValue, 6);
  // Each class owns its own plug-in.
  EXPECT_NE(CBIQRXGSMFtSingleton::GetInstance()->Module(), first->Module());
  EXPECT_NE(CBIWBGWIFISingleton::GetInstance()->Module(), first->Module());
  EXPECT_NE(CUFiBISingleton::GetInstance()->Module(), first->Module());
  EXPECT_TRUE(Boxes().empty());

  c->loadReturnsNull = true;
  EXPECT_EQ(first->GetTestDllObject(), nullptr);
  EXPECT_EQ(first->GetTestDllObject(), nullptr);
  EXPECT_EQ(c->loadCalls, 2);
  c->loadReturnsNull = false;
  void *sn = first->GetTestDllObject();
  ASSERT_NE(sn, nullptr);
  EXPECT_EQ(first->GetTestDllObject(), sn);
  EXPECT_EQ(c->loadCalls, 3);
  EXPECT_EQ(c->Calls().front(), "-1(0)"); // called with the single argument 0

  CCallBackDialog *a = first->GetCallbackDialog(nullptr);
  EXPECT_EQ(QRX_SendMessage(a->Window(), 0x464, 1, 2), 0) << "no callback yet";
  ASSERT_EQ(first->GetCallbackDialog(&FirstCallback), a);
  ASSERT_EQ(first->GetCallbackDialog(&SecondCallback), a);
  EXPECT_EQ(QRX_SendMessage(a->Window(), 0x466, 0, 1), 22);
  // Other messages reach no callback (on Windows 0x10 is WM_CLOSE).
  EXPECT_EQ(QRX_SendMessage(a->Window(), 0x10, 1, 2), 0);
  // The UFI plug-in has a window of its own.
  CCallBackDialog *ufi = CUFiBISingleton::GetInstance()->GetCallbackDialog(&FirstCallback);
  EXPECT_NE(ufi, a);
  EXPECT_EQ(QRX_SendMessage(ufi->Window(), 0x466, 0, 1), 11);
}

TEST(BILoader, MissingPluginOrNoCreateExportShowsItsMessageOnce) {
  PluginDeployment d({.phone = false, .ufi = false, .others = false});
  CBISingleton *phone = CBISingleton::GetInstance();
  ASSERT_NE(phone, nullptr);
  EXPECT_EQ(phone->Module(), nullptr);
  EXPECT_EQ(phone->RootObject(), nullptr);
  EXPECT_EQ(phone->GetTestDllObject(), nullptr);
  EXPECT_EQ(CBISingleton::GetInstance(), phone);
  CBIQRXGSMFtSingleton::GetInstance();
  CBIWBGWIFISingleton::GetInstance();
  CUFiBISingleton::GetInstance();
  CBIWBGWIFISingleton::GetInstance();
  EXPECT_EQ(Shown(), (std::vector<std::string>{
                         "Error: Load BI dll fail", "Error: Load GSM FT BI dll fail",
                         "Error: Load BI XA_BIAR9344 dll fail", "Error: Load BI dll fail"}));

  // A library that fails to load is reported the same way; one that loads but is no plug-in
  // (the test library has no "Create") is reported as such.
  UnloadAllPlugins();
  d.Deploy(QRX_TEST_LIBRARY, "Plugins", "BI_QRX");
  platform::FailNext(platform::Fault::kLoadLibrary);
  EXPECT_EQ(CBISingleton::GetInstance()->Module(), nullptr);
  EXPECT_EQ(Shown().back(), "Error: Load BI dll fail");
  UnloadAllPlugins();
  ClearBoxes();
  phone = CBISingleton::GetInstance();
  EXPECT_NE(phone->Module(), nullptr);
  EXPECT_EQ(phone->RootObject(), nullptr);
  // The SN object is requested independently of the root object.
  EXPECT_EQ(phone->GetTestDllObject(), nullptr);
  EXPECT_EQ(Shown(),
            std::vector<std::string>{"QRXInterface: \xBB\xF1\xC8\xA1" "BI Create Function Address fail"});
}

TEST(BILoader, CreateReturningNullIsReportedWithTheClassText) {
  PluginDeployment d;
  // Load each fake plug-in by hand first, so the control block can be scripted before the
  // loaders construct; the loaders' own loads then find the same libraries.
  std::vector<void *> held;
  for (const char *f : {"BI_QRX", "BI_GSM_QRX", "XA_BIAR9344"}) {
    void *m = platform::LoadLibrary("./Plugins/" + std::string(f) + test::kLibrarySuffix);
    ASSERT_NE(m, nullptr);
    PluginDeployment::Control(m)->createReturnsNull = true;
    held.push_back(m);
  }
  EXPECT_EQ(CBISingleton::GetInstance()->RootObject(), nullptr);
  EXPECT_EQ(CBIQRXGSMFtSingleton::GetInstance()->RootObject(), nullptr);
  EXPECT_EQ(CBIWBGWIFISingleton::GetInstance()->RootObject(), nullptr);
  const std::string call = "QRXInterface: \xB5\xF7\xD3\xC3"; // "调用"
  EXPECT_EQ(Shown(), (std::vector<std::string>{call + "BI Create Function Fail",
                                                call + "GSM FT BI Create Function Fail",
                                                call + "BI XA_BIAR9344 Create Function Fail"}));
  // No construction is retried while the library stays loaded.
  CBISingleton::GetInstance();
  EXPECT_EQ(PluginDeployment::Control(held[0])->createCalls, 1);
  UnloadAllPlugins();
  for (void *m : held) platform::FreeLibrary(m);
}

TEST(BILoader, StationsStartingTogetherShareOneSnObjectAndUnloadClosesWindowThenSnThenRoot) {
  PluginDeployment d;
  CUFiBISingleton::GetInstance();
  constexpr int kStations = 8;
  std::vector<void *> seen(kStations);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kStations; ++i)
    threads.emplace_back([&, i] {
      ++ready;
      while (ready.load() < kStations) std::this_thread::yield();
      seen[i] = CUFiBISingleton::GetInstance()->GetTestDllObject();
    });
  for (auto &t : threads) t.join();
  EXPECT_EQ(PluginDeployment::Ufi()->loadCalls, 1);
  for (void *sn : seen) EXPECT_EQ(sn, seen[0]);
  EXPECT_NE(seen[0], nullptr);

  CBISingleton *phone = CBISingleton::GetInstance();
  ASSERT_NE(phone->GetTestDllObject(), nullptr);
  ASSERT_NE(phone->GetCallbackDialog(nullptr), nullptr);
  CBIQRXGSMFtSingleton::GetInstance();
  LoaderInstance<CBISingleton>::Destroy();
  LoaderInstance<CBIQRXGSMFtSingleton>::Destroy();
  EXPECT_EQ(d.Read("unload.log"), "phone sn\nphone root\nphone root\n");
  // After an unload the next request loads the plug-in afresh.
  EXPECT_NE(CBISingleton::GetInstance(), nullptr);
  EXPECT_EQ(PluginDeployment::Phone()->createCalls, 1);
}

TEST(CallBackDialogEvents, EachMessageFillsItsKindsFieldsAndZeroesTheRest) {
  struct Case {
    unsigned message;
    uintptr_t wparam;
    intptr_t lparam;
    std::vector<int32_t> event; // kind, value1 .. value5
  };
  const Case cases[] = {
      {0x464, 5, 6, {0, 6, 0, 5, 0, 0}}, {0x465, 7, 9, {1, 7, 0, 0, 9, 0}},
      {0x466, 3, 4, {2, 4, 0, 0, 0, 0}}, {0x467, 0, 8, {3, 8, 0, 0, 0, 1}},
      {0x467, 2, 8, {3, 8, 0, 0, 0, 0}}, {0x468, 12, -3, {4, -3, 12, 0, 0, 0}},
  };
  for (const Case &c : cases) {
    QRXDownloadEvent e{-1, -1, -1, -1, -1, -1};
    ASSERT_TRUE(CCallBackDialog::EventFor(c.message, c.wparam, c.lparam, &e)) << c.message;
    EXPECT_EQ((std::vector<int32_t>{e.kind, e.value1, e.value2, e.value3, e.value4, e.value5}),
              c.event) << std::hex << c.message << " " << c.wparam;
  }
  QRXDownloadEvent e;
  EXPECT_FALSE(CCallBackDialog::EventFor(0x463, 0, 0, &e));
  EXPECT_FALSE(CCallBackDialog::EventFor(0x469, 0, 0, &e));
}

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
  EXPECT_EQ(Shown().front(), "Error: Load BI dll fail");
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
