// Phone and UFI download managers against the recording fake plug-in: image signature, the
// settings file's bytes, option and extra values, progress window and callbacks.
#include "plugin_deployment.h"

#include "plugins/qrx_bi_download_manager.h"
#include "platform/fault_injection.h"
#include "plugins/qrx_ufi_bi_download_manager.h"
#include "sn/ssnufi_manager.h"
#include "sn/sssn_qrx_manager.h"

#include "../support/environment.h"

#include <condition_variable>
#include <cstdlib>
#include <thread>

namespace qrx::test {
namespace {
using namespace plugin;

const std::string kSignature("\x1A\x63\x13\xDF\xCD\x98\xA8\x4F\xA5\x19\x7C\x1B\x1A\xBA\x9F\xD7", 16);

template <typename Manager, bool Ufi> class DownloadTest : public ManagerTest<Manager, Ufi> {
protected:
  void SetUp() override {
    ManagerTest<Manager, Ufi>::SetUp();
    settings = this->deployment.Path("Plugins/download.ini");
    this->control->settingsFile = settings;
    image = this->deployment.Path("image.bin");
    this->deployment.Write("image.bin", kSignature + "payload");
  }
  int Start(const std::string &path, QRXDownloadCallback cb = nullptr, int option = 2) {
    return this->manager->StartDownload(path, option, cb, "/img/second.bin", 5, 6, "extra");
  }
  std::string Settings() { return this->deployment.Read("Plugins/download.ini"); }
  std::string settings, image;
};
using PhoneDownload = DownloadTest<CQRXBIDownloadManager, false>;
using UfiDownload = DownloadTest<CQRXUFiBIDownloadManager, true>;

// Stop calls the plug-in even before any start, and a start writes the image first; images
// without the signature, or no settings file from the plug-in, are refused.
TEST_F(PhoneDownload, StartWritesTheImageFirstAndRefusesImagesWithoutTheSignature) {
  EXPECT_EQ(manager->StopDownload(), 0);
  EXPECT_EQ(Start(image), 0);
  EXPECT_EQ(Settings(), "[DownloadImage]\r\nFile=" + image + "\r\n");
  EXPECT_EQ(CallsMade(), (Calls{"111(0,0)", "14()", "112(2,1)", "110(window)", "111(1,0)"}));
  deployment.Write("exact.bin", kSignature);
  EXPECT_EQ(Start(deployment.Path("exact.bin")), 0);
  control->Clear();
  std::remove(settings.c_str());
  deployment.Write("short.bin", kSignature.substr(0, 15));
  std::string wrongFirst = kSignature;
  wrongFirst[0] = 0x1B;
  deployment.Write("wrong.bin", wrongFirst + "more");
  for (const std::string &bad : {deployment.Path("short.bin"), deployment.Path("wrong.bin"),
                                 deployment.Path("missing.bin"), deployment.Path("Plugins"),
                                 std::string()}) {
    EXPECT_EQ(Start(bad), 1) << bad;
  }
  EXPECT_TRUE(CallsMade().empty());
  EXPECT_FALSE(std::filesystem::exists(settings));
  // No settings file from the plug-in fails before starting.
  for (const std::string &file : {std::string(), deployment.Path("NoSuchDir/download.ini")}) {
    control->settingsFile = file;
    EXPECT_EQ(Start(image), 1) << file;
    EXPECT_EQ(CallsMade(), Calls{"14()"}) << file;
    control->Clear();
  }
  // Prepare hands model and phone type on, or asks the operator for the phone type.
  ClearBoxes();
  EXPECT_EQ(manager->PrepareDownload(), 1);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text.substr(Boxes()[0].text.size() - 13), "\xA3\xBA" "BIPhoneType");
  control->Clear();
  SetPhoneType("BI_TYPE");
  EXPECT_EQ(manager->PrepareDownload(), 0);
  const Calls calls = CallsMade();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].rfind("13(", 0), 0u);
  EXPECT_EQ(calls[1], "15(BI_TYPE)");
  Script(kSnSetPhoneType, 1);
  EXPECT_EQ(manager->PrepareDownload(), 1);
}

// Managers without their plug-in fail every operation; the only messages are the two load
// failures.
TEST(ManagersWithoutPlugin, EveryOperationFails) {
  PluginDeployment d({.phone = false, .ufi = false, .others = false});
  CQRXTestTools *hub = new CQRXTestTools(1, "S.xml", nullptr);
  CQRXBIDownloadManager phone(hub);
  CQRXUFiBIDownloadManager ufi(hub);
  for (IQRXBIDownloadManager *m : {static_cast<IQRXBIDownloadManager *>(&phone),
                                   static_cast<IQRXBIDownloadManager *>(&ufi)}) {
    EXPECT_EQ(m->Initialize(), 0);
    EXPECT_EQ(m->PrepareDownload(), 1);
    EXPECT_EQ(m->StartDownload("x", 0, nullptr, "", 0, 0, ""), 1);
    EXPECT_EQ(m->StopDownload(), 1);
  }
  CSSSNQRXManager phoneSn(hub);
  CSSNUFIManager ufiSn(hub);
  EXPECT_EQ(phoneSn.Initialize(), 0);
  EXPECT_EQ(ufiSn.Initialize(), 0);
  char out[64];
  for (ISNManager *m : {static_cast<ISNManager *>(&phoneSn), static_cast<ISNManager *>(&ufiSn)})
    EXPECT_EQ((std::vector<int>{m->Init_TestDLL_SN(), m->WriteSN("A", 0), m->ReadSN(out, 0),
                                m->WriteIMEI("1", 0), m->ReadTestInfo(4, out), m->ClosePort(),
                                m->WriteMSN("1", 0)}),
              std::vector<int>(7, 1));
  EXPECT_EQ((std::vector<int>{phoneSn.OpenPort(1, 2), ufiSn.OpenPort(1, 2), ufiSn.WriteMAC("00")}),
            (std::vector<int>{1, 5, 1}));
  EXPECT_EQ(Boxes().size(), 2u);
  hub->Release();
}

TEST_F(UfiDownload, StartWritesBothImagesOrNeitherAndPassesTheExtraValues) {
  EXPECT_EQ(Start(image), 0);
  EXPECT_EQ(Settings(), "[DownloadImage]\r\nFile=" + image +
                            "\r\n[DownloadImageUFI]\r\nFile=/img/second.bin\r\n");
  EXPECT_EQ(CallsMade(), (Calls{"14()", "130(2,1)", "131(5,6,extra)", "128(window)", "129(1,0)"}));
  // Both sections are written even when the second path is empty; it is not verified.
  EXPECT_EQ(manager->StartDownload(image, 0, nullptr, "", 0, 0, ""), 0);
  EXPECT_EQ(Settings(), "[DownloadImage]\r\nFile=" + image + "\r\n[DownloadImageUFI]\r\nFile=\r\n");
  EXPECT_EQ(manager->StopDownload(), 0);
  EXPECT_EQ(CallsMade().back(), "129(0,0)");
  // A write that fails at any point leaves both images as they were and starts nothing.
  const std::string before = "[DownloadImage]\r\nFile=old\r\n[DownloadImageUFI]\r\nFile=old2\r\n";
  for (int spared = 0; spared < 3; ++spared) {
    deployment.Write("Plugins/download.ini", before);
    control->Clear();
    platform::FailNext(platform::Fault::kFileWrite, 1, spared);
    const int result = Start(image);
    platform::ClearFaults();
    if (result == 0) {
      EXPECT_EQ(Settings(), "[DownloadImage]\r\nFile=" + image +
                                "\r\n[DownloadImageUFI]\r\nFile=/img/second.bin\r\n");
    } else {
      EXPECT_EQ(Settings(), before) << "after " << spared << " writes";
      EXPECT_EQ(CallsMade(), Calls{"14()"});
    }
  }
}

TEST_F(UfiDownload, PrepareCallsThePreparationStepsAndFlushesTheArpCache) {
  // A stand-in for the system's ip tool records that it was started, and with what.
  const std::string bin = deployment.Path("bin");
  std::filesystem::create_directories(bin);
  const std::string marker = deployment.Path("ip-ran");
  deployment.Write("bin/ip", "#!/bin/sh\necho \"$@\" > '" + marker + "'\necho noise\n");
  std::filesystem::permissions(bin + "/ip", std::filesystem::perms::owner_all);
  SetPhoneType("UFI_T");
  {
    ScopedEnvironment path("PATH", bin + ":" + std::getenv("PATH"));
    EXPECT_EQ(manager->PrepareDownload(), 0);
  }
  Calls calls = CallsMade();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0], "168()");
  EXPECT_EQ(calls[1], "169(1)");
  EXPECT_EQ(calls[3], "15(UFI_T)");
  for (int i = 0; i < 200 && deployment.Read("ip-ran").empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(deployment.Read("ip-ran"), "neigh flush all\n");
}

// Progress of downloads on two stations reaches the callback installed last, in order.
struct Progress {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<std::pair<int, QRXDownloadEvent>> events;
};
Progress *g_progress = nullptr;
template <int Who> int32_t QRX_CALLBACK Record(QRXDownloadEvent e) {
  std::lock_guard<std::mutex> hold(g_progress->lock);
  g_progress->events.push_back({Who, e});
  g_progress->changed.notify_all();
  return Who;
}

TEST_F(PhoneDownload, ProgressFromThePluginsThreadReachesTheLastCallbackInOrder) {
  Progress progress;
  g_progress = &progress;
  {
    std::lock_guard<std::mutex> hold(control->lock);
    for (int i = 0; i < 50; ++i) control->progress.push_back({0x465, static_cast<unsigned long>(i), 7});
    control->progress.push_back({0x467, 0, 7});
  }
  CQRXTestTools *secondHub = new CQRXTestTools(4, "S.xml", nullptr);
  CQRXBIDownloadManager second(secondHub);
  ASSERT_EQ(second.Initialize(), 1);
  ASSERT_EQ(Start(image, &Record<1>), 0);
  // The second station starts while the first one's progress may still be arriving.
  ASSERT_EQ(second.StartDownload(image, 1, &Record<2>, "", 0, 0, ""), 0);
  {
    std::unique_lock<std::mutex> hold(progress.lock);
    ASSERT_TRUE(progress.changed.wait_for(hold, std::chrono::seconds(10),
                                          [&] { return progress.events.size() >= 102; }));
  }
  manager->StopDownload();
  second.StopDownload();
  LoaderInstance<CBISingleton>::Destroy(); // joins the plug-in's thread, ends the window
  // The plug-in reports the first download completely before the second one's, and every
  // message after the second station installed its callback reaches that callback.
  ASSERT_EQ(progress.events.size(), 102u);
  for (size_t i = 0, switched = 0; i < progress.events.size(); ++i) {
    auto [who, e] = progress.events[i];
    const int inSeries = static_cast<int>(i % 51);
    EXPECT_EQ(e.kind, inSeries == 50 ? 3 : 1) << i;
    EXPECT_EQ(inSeries == 50 ? e.value5 : e.value1, inSeries == 50 ? 1 : inSeries) << i;
    switched = switched || who == 2;
    EXPECT_EQ(who, switched || i >= 51 ? 2 : 1) << i;
  }
  g_progress = nullptr;
  secondHub->Release();
}

} // namespace
} // namespace qrx::test
