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

struct UfiState {
  std::unique_ptr<qrx::sim::SimDownloader> downloader;
};
using UfiSn = qrx::sim::PluginObject<UfiState>;

int OpenPort(UfiSn *, int, int, int) { return 0; }
int ClosePort(UfiSn *, int) { return 0; }
// Port checks answer 1 when the check passed.
int PortCheck1(UfiSn *, int ti) { return SimSnDevice::Faulty(ti, "PortCheck1") ? 0 : 1; }
int PortCheck2(UfiSn *, int ti) { return SimSnDevice::Faulty(ti, "PortCheck2") ? 0 : 1; }
int PortCheck3(UfiSn *, int ti) { return SimSnDevice::Faulty(ti, "PortCheck3") ? 0 : 1; }
int SetModel(UfiSn *, std::string &model) { SimSnDevice::SetModel(model); return 0; }
const char *SettingsFile(UfiSn *self) { return self->state.downloader->SettingsFile(); }
int SetPhoneType(UfiSn *, const char *type) { return type && *type ? 0 : 1; }

int WriteSn1(UfiSn *, const char *sn, int, int ti) { return SimSnDevice::Write(ti, "SN", sn, kSnBufferSize); }
int ReadSn1(UfiSn *, char *out, int, int ti) { return SimSnDevice::Read(ti, "SN", out, kSnBufferSize); }
int WriteSn2(UfiSn *, const char *sn, int, int ti) { return SimSnDevice::Write(ti, "SN2", sn, kSnBufferSize); }
int ReadSn2(UfiSn *, char *out, int, int ti) { return SimSnDevice::Read(ti, "SN2", out, kSnBufferSize); }
int WriteSn3(UfiSn *, std::string sn, int ti) { return SimSnDevice::Write(ti, "SN3", sn.c_str(), kSnBufferSize) == 0 ? 1 : 0; }
int ReadSn3(UfiSn *, std::string &out, int ti) {
  if (SimSnDevice::Faulty(ti, "ReadSN3")) return 0;
  out = IdentityStore(ti).GetOr("SN3", "");
  return 1;
}
int WriteImei1(UfiSn *, const char *imei, int, int ti) { return SimSnDevice::Write(ti, "IMEI", imei, kImeiBufferSize); }
int ReadImei1(UfiSn *, char *out, int, int ti) { return SimSnDevice::Read(ti, "IMEI", out, kImeiBufferSize); }
int WriteImei2(UfiSn *, const char *imei, int, int ti) { return SimSnDevice::Write(ti, "IMEI2", imei, kImeiBufferSize); }
int ReadImei2(UfiSn *, char *out, int, int ti) { return SimSnDevice::Read(ti, "IMEI2", out, kImeiBufferSize); }
int WriteMsn(UfiSn *, const char *msn, int, int ti) { return SimSnDevice::Write(ti, "MSN", msn, 0); }
int ReadMsn(UfiSn *, char *out, int, int ti) { return SimSnDevice::Read(ti, "MSN", out, 0); }
int ReadFlags(UfiSn *, int count, char *out, int ti) { return SimSnDevice::ReadFlags(ti, count, out, kFlagBufferSize); }
int ReadVersion(UfiSn *, char *out, int, int ti) {
  if (!out) return 1;
  std::string v = SimSnDevice::SoftVersion(ti).substr(0, 49);
  std::memcpy(out, v.c_str(), v.size() + 1);
  return 0;
}

// MAC and SSID answer 1 for success.
int WriteMac(UfiSn *, std::string mac, int, int ti) {
  if (mac.size() != 12 || SimSnDevice::Faulty(ti, "MAC")) return 0;
  return IdentityStore(ti).Set("MAC", mac) ? 1 : 0;
}
int ReadMac(UfiSn *, std::string &out, int, int ti) {
  auto mac = IdentityStore(ti).Get("MAC");
  if (!mac) return 0;
  out = *mac;
  return 1;
}
int WriteSsid(UfiSn *, int ti) {
  // The device names its network after the last six characters of its MAC address.
  IdentityStore device(ti);
  std::string mac = device.GetOr("MAC", "");
  if (mac.size() < 6 || SimSnDevice::Faulty(ti, "SSID")) return 0;
  return device.Set("SSID", "QRX-UFI-" + mac.substr(mac.size() - 6)) ? 1 : 0;
}
int ReadSsid(UfiSn *, std::string &out, int ti) {
  auto ssid = IdentityStore(ti).Get("SSID");
  if (!ssid) return 0;
  out = *ssid;
  return 1;
}
int ReadVersionUfi(UfiSn *self, char *out, int ti) { return ReadVersion(self, out, 0, ti) == 0 ? 1 : 0; }
int ReadTestInfoUfi(UfiSn *, char *out, int ti) { return SimSnDevice::ReadFlags(ti, 20, out, kFlagBufferSize) == 0 ? 1 : 0; }
int Reserved(UfiSn *, int, int, int) { return 0; }
int ReadFlagsAt(UfiSn *, int item, char *out, int ti) { return SimSnDevice::ReadFlagAt(ti, item, out, kFlagBufferSize); }
int WriteFlag(UfiSn *, int item, const char *text, int ti) { return SimSnDevice::WriteFlag(ti, item, text); }

int DownloadWindow(UfiSn *self, void *window) { self->state.downloader->SetWindow(window); return 0; }
int DownloadStartStop(UfiSn *self, int start, int) {
  if (start) return self->state.downloader->Start() ? 0 : 1;
  self->state.downloader->Stop();
  return 0;
}
int DownloadOption(UfiSn *self, int option, int) { self->state.downloader->SetOption(option); return 0; }
int DownloadExtra(UfiSn *, int, int, std::string) { return 0; }
int PrepareFirst(UfiSn *) { return 0; }
int PrepareSecond(UfiSn *, int) { return 0; }
int Release(UfiSn *self) { self->state.downloader->Shutdown(); delete self; return 0; }

} // namespace

QRX_SIM_EXPORT void *Create(void) { return qrx::sim::MakeRootObject("BI_QRX_UFI_NET"); }

QRX_SIM_EXPORT void *LoadQRXDll(int) {
  static qrx::sim::PositionTable<kUfiSnTableSize> table = [] {
    qrx::sim::PositionTable<kUfiSnTableSize> t("BI_QRX_UFI_NET");
    t.Set(kSnRelease, &Release);
    t.Set(kSnSetModel, &SetModel);
    t.Set(kSnGetSettingsFile, &SettingsFile);
    t.Set(kSnSetPhoneType, &SetPhoneType);
    t.Set(kUfiOpenPort, &OpenPort);
    t.Set(kUfiClosePort, &ClosePort);
    t.Set(kUfiWriteSnFirstCopy, &WriteSn1);
    t.Set(kUfiReadSnFirstCopy, &ReadSn1);
    t.Set(kUfiWriteImeiFirstCopy, &WriteImei1);
    t.Set(kUfiReadImeiFirstCopy, &ReadImei1);
    t.Set(kUfiWriteMsn, &WriteMsn);
    t.Set(kUfiReadMsn, &ReadMsn);
    t.Set(kUfiReadFlags, &ReadFlags);
    t.Set(kUfiReadIntSoftVersion, &ReadVersion);
    t.Set(kUfiPortCheck1, &PortCheck1);
    t.Set(kUfiPortCheck2, &PortCheck2);
    t.Set(kUfiWriteSnThirdCopy, &WriteSn3);
    t.Set(kUfiReadSnThirdCopy, &ReadSn3);
    t.Set(kUfiWriteMac, &WriteMac);
    t.Set(kUfiReadMac, &ReadMac);
    t.Set(kUfiPortCheck3, &PortCheck3);
    t.Set(kUfiWriteSsid, &WriteSsid);
    t.Set(kUfiReadSsid, &ReadSsid);
    t.Set(kUfiReadIntSoftVersionUfi, &ReadVersionUfi);
    t.Set(kUfiReadTestInfoUfi, &ReadTestInfoUfi);
    t.Set(kUfiWriteSnSecondCopy, &WriteSn2);
    t.Set(kUfiReadSnSecondCopy, &ReadSn2);
    t.Set(kUfiWriteImeiSecondCopy, &WriteImei2);
    t.Set(kUfiReadImeiSecondCopy, &ReadImei2);
    t.Set(kUfiDownloadWindow, &DownloadWindow);
    t.Set(kUfiDownloadStartStop, &DownloadStartStop);
    t.Set(kUfiDownloadOption, &DownloadOption);
    t.Set(kUfiDownloadExtra, &DownloadExtra);
    t.Set(kUfiReserved, &Reserved);
    t.Set(kUfiReadFlagsAt, &ReadFlagsAt);
    t.Set(kUfiWriteFlag, &WriteFlag);
    t.Set(kUfiPrepareFirst, &PrepareFirst);
    t.Set(kUfiPrepareSecond, &PrepareSecond);
    return t;
  }();
  std::error_code madeDir;
  std::filesystem::create_directories(IdentityStore::StateDirectory(), madeDir); // the settings file lives there
  auto downloader = std::make_unique<qrx::sim::SimDownloader>(
      IdentityStore::StateDirectory() + "BI_QRX_UFI_NET_Download.ini", "DownloadImage", 1001);
  return new UfiSn{table.AddressPoint(), {std::move(downloader)}};
}
