// Simulated phone BI plug-in (BI_QRX): identity programming of the phone at each station
// through the device files, cable-loss transmitter control, and image download.
#include "sim_downloader.h"
#include "sim_root_object.h"
#include "sim_sn_device.h"

#include "../common/identity_store.h"

#include <filesystem>

#include <cstdint>
#include <memory>
#include <string>

namespace {

using namespace qrx::plugin;
using qrx::sim::SimSnDevice;

struct PhoneState {
  std::unique_ptr<qrx::sim::SimDownloader> downloader;
};
using PhoneSn = qrx::sim::PluginObject<PhoneState>;

int OpenPort(PhoneSn *, int, int, int ti) { return SimSnDevice::Faulty(ti, "OpenPort") ? 1 : 0; }
int ClosePort(PhoneSn *, int) { return 0; }
int SetModel(PhoneSn *, std::string &model) { SimSnDevice::SetModel(model); return 0; }
const char *SettingsFile(PhoneSn *self) { return self->state.downloader->SettingsFile(); }
int SetPhoneType(PhoneSn *, const char *type) { return type && *type ? 0 : 1; }

int TxInit(PhoneSn *, int16_t powerTimes10, int, int, int, int, int, int, int, int, int ti) {
  // The transmitter cannot go above 33 dBm; a larger request is refused as a real phone would.
  return powerTimes10 > 330 || SimSnDevice::Faulty(ti, "TxInit") ? 1 : 0;
}
int TxClose(PhoneSn *, int) { return 0; }

int WriteSn1(PhoneSn *, const char *sn, int, int ti) { return SimSnDevice::Write(ti, "SN", sn, kSnBufferSize); }
int ReadSn1(PhoneSn *, char *out, int, int ti) { return SimSnDevice::Read(ti, "SN", out, kSnBufferSize); }
int WriteSn2(PhoneSn *, const char *sn, int, int ti) { return SimSnDevice::Write(ti, "SN2", sn, kSnBufferSize); }
int ReadSn2(PhoneSn *, char *out, int, int ti) { return SimSnDevice::Read(ti, "SN2", out, kSnBufferSize); }
int WriteImei1(PhoneSn *, const char *imei, int, int ti) { return SimSnDevice::Write(ti, "IMEI", imei, kImeiBufferSize); }
int ReadImei1(PhoneSn *, char *out, int, int ti) { return SimSnDevice::Read(ti, "IMEI", out, kImeiBufferSize); }
int WriteImei2(PhoneSn *, const char *imei, int, int ti) { return SimSnDevice::Write(ti, "IMEI2", imei, kImeiBufferSize); }
int ReadImei2(PhoneSn *, char *out, int, int ti) { return SimSnDevice::Read(ti, "IMEI2", out, kImeiBufferSize); }
int WriteMsn(PhoneSn *, const char *msn, int, int ti) { return SimSnDevice::Write(ti, "MSN", msn, 0); }
int ReadMsn(PhoneSn *, char *out, int, int ti) { return SimSnDevice::Read(ti, "MSN", out, 0); }
int WritePsn(PhoneSn *, const char *psn, int, int ti) { return SimSnDevice::Write(ti, "PSN", psn, 0); }
int ReadPsn(PhoneSn *, char *out, int, int ti) { return SimSnDevice::Read(ti, "PSN", out, 0); }
int ReadFlags(PhoneSn *, int count, char *out, int ti) { return SimSnDevice::ReadFlags(ti, count, out, kFlagBufferSize); }
int ReadVersion(PhoneSn *, char *out, int, int ti) {
  if (!out) return 1;
  std::string v = SimSnDevice::SoftVersion(ti);
  v.resize(std::min<size_t>(v.size(), 49));
  std::copy(v.begin(), v.end(), out);
  out[v.size()] = '\0';
  return 0;
}
int Reserved(PhoneSn *, int, int, int) { return 0; }
int ReadFlagsAt(PhoneSn *, int item, char *out, int ti) { return SimSnDevice::ReadFlagAt(ti, item, out, kFlagBufferSize); }
int WriteFlag(PhoneSn *, int item, const char *text, int ti) { return SimSnDevice::WriteFlag(ti, item, text); }

int DownloadWindow(PhoneSn *self, void *window) { self->state.downloader->SetWindow(window); return 0; }
int DownloadStartStop(PhoneSn *self, int start, int) {
  if (start) return self->state.downloader->Start() ? 0 : 1;
  self->state.downloader->Stop();
  return 0;
}
int DownloadOption(PhoneSn *self, int option, int) { self->state.downloader->SetOption(option); return 0; }
int Release(PhoneSn *self) { self->state.downloader->Shutdown(); delete self; return 0; }

} // namespace

QRX_SIM_EXPORT void *Create(void) { return qrx::sim::MakeRootObject("BI_QRX"); }

QRX_SIM_EXPORT void *LoadQRXDll(int) {
  static qrx::sim::PositionTable<kPhoneSnTableSize> table = [] {
    qrx::sim::PositionTable<kPhoneSnTableSize> t("BI_QRX");
    t.Set(kSnRelease, &Release);
    t.Set(kSnSetModel, &SetModel);
    t.Set(kSnGetSettingsFile, &SettingsFile);
    t.Set(kSnSetPhoneType, &SetPhoneType);
    t.Set(kPhoneOpenPort, &OpenPort);
    t.Set(kPhoneClosePort, &ClosePort);
    t.Set(kPhoneTddTxInitCabLoss, &TxInit);
    t.Set(kPhoneTddTxClose, &TxClose);
    t.Set(kPhoneFddTxInitCabLoss, &TxInit);
    t.Set(kPhoneFddTxClose, &TxClose);
    t.Set(kPhoneWriteSnFirstCopy, &WriteSn1);
    t.Set(kPhoneReadSnFirstCopy, &ReadSn1);
    t.Set(kPhoneWriteImeiFirstCopy, &WriteImei1);
    t.Set(kPhoneReadImeiFirstCopy, &ReadImei1);
    t.Set(kPhoneWriteMsn, &WriteMsn);
    t.Set(kPhoneReadMsn, &ReadMsn);
    t.Set(kPhoneReadPsn, &ReadPsn);
    t.Set(kPhoneWritePsn, &WritePsn);
    t.Set(kPhoneReadFlags, &ReadFlags);
    t.Set(kPhoneReadIntSoftVersion, &ReadVersion);
    t.Set(kPhoneWriteSnSecondCopy, &WriteSn2);
    t.Set(kPhoneReadSnSecondCopy, &ReadSn2);
    t.Set(kPhoneWriteImeiSecondCopy, &WriteImei2);
    t.Set(kPhoneReadImeiSecondCopy, &ReadImei2);
    t.Set(kPhoneDownloadWindow, &DownloadWindow);
    t.Set(kPhoneDownloadStartStop, &DownloadStartStop);
    t.Set(kPhoneDownloadOption, &DownloadOption);
    t.Set(kPhoneReserved, &Reserved);
    t.Set(kPhoneReadFlagsAt, &ReadFlagsAt);
    t.Set(kPhoneWriteFlag, &WriteFlag);
    return t;
  }();
  std::error_code madeDir;
  std::filesystem::create_directories(qrx::sim::IdentityStore::StateDirectory(), madeDir); // the settings file lives there
  auto downloader = std::make_unique<qrx::sim::SimDownloader>(
      qrx::sim::IdentityStore::StateDirectory() + "BI_QRX_Download.ini", "DownloadImage", 1);
  return new PhoneSn{table.AddressPoint(), {std::move(downloader)}};
}
