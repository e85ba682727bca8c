// Simulated UFI BI plug-in (BI_QRX_UFI_NET): identity programming of the portable WiFi
// terminal at each station (three SN copies, MAC, SSID), its network port and image download.
#include "sim_downloader.h"
#include "sim_root_object.h"
#include "sim_sn_device.h"

#include "../common/identity_store.h"

#include <filesystem>

#include <cstring>
#include <memory>
#include <string>

namespace {

using namespace qrx::plugin;
using qrx::sim::IdentityStore;
using qrx::sim::SimSnDevice;

class UfiSn final : public qrx::plugin::UfiSnObject {
public:
  explicit UfiSn(std::unique_ptr<qrx::sim::SimDownloader> downloader)
      : downloader_(std::move(downloader)) {}

  int OpenPort(int, int, int) override { return 0; }
  int ClosePort(int) override { return 0; }
  // Port checks answer 1 when the check passed.
  int PortCheck1(int ti) override { return SimSnDevice::Faulty(ti, "PortCheck1") ? 0 : 1; }
  int PortCheck2(int ti) override { return SimSnDevice::Faulty(ti, "PortCheck2") ? 0 : 1; }
  int PortCheck3(int ti) override { return SimSnDevice::Faulty(ti, "PortCheck3") ? 0 : 1; }
  int SetModel(std::string &model) override { SimSnDevice::SetModel(model); return 0; }
  const char *SettingsFile() override { return downloader_->SettingsFile(); }
  int SetPhoneType(const char *type) override { return type && *type ? 0 : 1; }
  void Release() override { downloader_->Shutdown(); delete this; }

  int WriteSnFirstCopy(const char *sn, int, int ti) override { return SimSnDevice::Write(ti, "SN", sn, kSnBufferSize); }
  int ReadSnFirstCopy(char *out, int, int ti) override { return SimSnDevice::Read(ti, "SN", out, kSnBufferSize); }
  int WriteSnSecondCopy(const char *sn, int, int ti) override { return SimSnDevice::Write(ti, "SN2", sn, kSnBufferSize); }
  int ReadSnSecondCopy(char *out, int, int ti) override { return SimSnDevice::Read(ti, "SN2", out, kSnBufferSize); }
  int WriteSnThirdCopy(std::string sn, int ti) override { return SimSnDevice::Write(ti, "SN3", sn.c_str(), kSnBufferSize) == 0 ? 1 : 0; }
  int ReadSnThirdCopy(std::string &out, int ti) override {
    if (SimSnDevice::Faulty(ti, "ReadSN3")) return 0;
    out = IdentityStore(ti).GetOr("SN3", "");
    return 1;
  }
  int WriteImeiFirstCopy(const char *imei, int, int ti) override { return SimSnDevice::Write(ti, "IMEI", imei, kImeiBufferSize); }
  int ReadImeiFirstCopy(char *out, int, int ti) override { return SimSnDevice::Read(ti, "IMEI", out, kImeiBufferSize); }
  int WriteImeiSecondCopy(const char *imei, int, int ti) override { return SimSnDevice::Write(ti, "IMEI2", imei, kImeiBufferSize); }
  int ReadImeiSecondCopy(char *out, int, int ti) override { return SimSnDevice::Read(ti, "IMEI2", out, kImeiBufferSize); }
  int WriteMsn(const char *msn, int, int ti) override { return SimSnDevice::Write(ti, "MSN", msn, 0); }
  int ReadMsn(char *out, int, int ti) override { return SimSnDevice::Read(ti, "MSN", out, 0); }
  int ReadFlags(int count, char *out, int ti) override { return SimSnDevice::ReadFlags(ti, count, out, kFlagBufferSize); }
  int ReadIntSoftVersion(char *out, int, int ti) override {
    if (!out) return 1;
    std::string v = SimSnDevice::SoftVersion(ti).substr(0, 49);
    std::memcpy(out, v.c_str(), v.size() + 1);
    return 0;
  }

  // MAC and SSID answer 1 for success.
  int WriteMac(std::string mac, int, int ti) override {
    if (mac.size() != 12 || SimSnDevice::Faulty(ti, "MAC")) return 0;
    return IdentityStore(ti).Set("MAC", mac) ? 1 : 0;
  }
  int ReadMac(std::string &out, int, int ti) override {
    auto mac = IdentityStore(ti).Get("MAC");
    if (!mac) return 0;
    out = *mac;
    return 1;
  }
  int WriteSsid(int ti) override {
    // The device names its network after the last six characters of its MAC address.
    IdentityStore device(ti);
    std::string mac = device.GetOr("MAC", "");
    if (mac.size() < 6 || SimSnDevice::Faulty(ti, "SSID")) return 0;
    return device.Set("SSID", "QRX-UFI-" + mac.substr(mac.size() - 6)) ? 1 : 0;
  }
  int ReadSsid(std::string &out, int ti) override {
    auto ssid = IdentityStore(ti).Get("SSID");
    if (!ssid) return 0;
    out = *ssid;
    return 1;
  }
  int ReadIntSoftVersionUfi(char *out, int ti) override { return ReadIntSoftVersion(out, 0, ti) == 0 ? 1 : 0; }
  int ReadTestInfoUfi(char *out, int ti) override { return SimSnDevice::ReadFlags(ti, 20, out, kFlagBufferSize) == 0 ? 1 : 0; }
  int Reserved(int, int, int) override { return 0; }
  int ReadFlagsAt(int item, char *out, int ti) override { return SimSnDevice::ReadFlagAt(ti, item, out, kFlagBufferSize); }
  int WriteFlag(int item, const char *text, int ti) override { return SimSnDevice::WriteFlag(ti, item, text); }

  int DownloadWindow(void *window) override { downloader_->SetWindow(window); return 0; }
  int DownloadStartStop(int start, int) override {
    if (start) return downloader_->Start() ? 0 : 1;
    downloader_->Stop();
    return 0;
  }
  int DownloadOption(int option, int) override { downloader_->SetOption(option); return 0; }
  int DownloadExtra(int, int, std::string) override { return 0; }
  int PrepareFirst() override { return 0; }
  int PrepareSecond(int) override { return 0; }

private:
  std::unique_ptr<qrx::sim::SimDownloader> downloader_;
};

} // namespace

QRX_SIM_EXPORT void *Create(void) { return qrx::sim::MakeRootObject(); }

QRX_SIM_EXPORT void *LoadQRXDll(int) {
  std::error_code madeDir;
  std::filesystem::create_directories(IdentityStore::StateDirectory(), madeDir); // the settings file lives there
  auto downloader = std::make_unique<qrx::sim::SimDownloader>(
      IdentityStore::StateDirectory() + "BI_QRX_UFI_NET_Download.ini", "DownloadImage", 1001);
  return static_cast<qrx::plugin::UfiSnObject *>(new UfiSn(std::move(downloader)));
}
