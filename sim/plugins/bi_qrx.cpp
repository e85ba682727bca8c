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

class PhoneSn final : public qrx::plugin::PhoneSnObject {
public:
  explicit PhoneSn(std::unique_ptr<qrx::sim::SimDownloader> downloader)
      : downloader_(std::move(downloader)) {}

  int OpenPort(int, int, int ti) override { return SimSnDevice::Faulty(ti, "OpenPort") ? 1 : 0; }
  int ClosePort(int) override { return 0; }
  int SetModel(std::string &model) override { SimSnDevice::SetModel(model); return 0; }
  const char *SettingsFile() override { return downloader_->SettingsFile(); }
  int SetPhoneType(const char *type) override { return type && *type ? 0 : 1; }
  void Release() override { downloader_->Shutdown(); delete this; }

  int TddTxInitCabLoss(int16_t powerTimes10, int, int, int, int, int, int, int, int, int ti) override {
    return TxInit(powerTimes10, ti);
  }
  int TddTxClose(int) override { return 0; }
  int FddTxInitCabLoss(int16_t powerTimes10, int, int, int, int, int, int, int, int, int ti) override {
    return TxInit(powerTimes10, ti);
  }
  int FddTxClose(int) override { return 0; }

  int WriteSnFirstCopy(const char *sn, int, int ti) override { return SimSnDevice::Write(ti, "SN", sn, kSnBufferSize); }
  int ReadSnFirstCopy(char *out, int, int ti) override { return SimSnDevice::Read(ti, "SN", out, kSnBufferSize); }
  int WriteImeiFirstCopy(const char *imei, int, int ti) override { return SimSnDevice::Write(ti, "IMEI", imei, kImeiBufferSize); }
  int ReadImeiFirstCopy(char *out, int, int ti) override { return SimSnDevice::Read(ti, "IMEI", out, kImeiBufferSize); }
  int WriteMsn(const char *msn, int, int ti) override { return SimSnDevice::Write(ti, "MSN", msn, 0); }
  int ReadMsn(char *out, int, int ti) override { return SimSnDevice::Read(ti, "MSN", out, 0); }
  int ReadPsn(char *out, int, int ti) override { return SimSnDevice::Read(ti, "PSN", out, 0); }
  int WritePsn(const char *psn, int, int ti) override { return SimSnDevice::Write(ti, "PSN", psn, 0); }
  int ReadFlags(int count, char *out, int ti) override { return SimSnDevice::ReadFlags(ti, count, out, kFlagBufferSize); }
  int ReadIntSoftVersion(char *out, int, int ti) override {
    if (!out) return 1;
    std::string v = SimSnDevice::SoftVersion(ti);
    v.resize(std::min<size_t>(v.size(), 49));
    std::copy(v.begin(), v.end(), out);
    out[v.size()] = '\0';
    return 0;
  }
  int WriteSnSecondCopy(const char *sn, int, int ti) override { return SimSnDevice::Write(ti, "SN2", sn, kSnBufferSize); }
  int ReadSnSecondCopy(char *out, int, int ti) override { return SimSnDevice::Read(ti, "SN2", out, kSnBufferSize); }
  int WriteImeiSecondCopy(const char *imei, int, int ti) override { return SimSnDevice::Write(ti, "IMEI2", imei, kImeiBufferSize); }
  int ReadImeiSecondCopy(char *out, int, int ti) override { return SimSnDevice::Read(ti, "IMEI2", out, kImeiBufferSize); }

  int DownloadWindow(void *window) override { downloader_->SetWindow(window); return 0; }
  int DownloadStartStop(int start, int) override {
    if (start) return downloader_->Start() ? 0 : 1;
    downloader_->Stop();
    return 0;
  }
  int DownloadOption(int option, int) override { downloader_->SetOption(option); return 0; }
  int Reserved(int, int, int) override { return 0; }
  int ReadFlagsAt(int item, char *out, int ti) override { return SimSnDevice::ReadFlagAt(ti, item, out, kFlagBufferSize); }
  int WriteFlag(int item, const char *text, int ti) override { return SimSnDevice::WriteFlag(ti, item, text); }

private:
  // The transmitter cannot go above 33 dBm; a larger request is refused as a real phone would.
  static int TxInit(int16_t powerTimes10, int ti) {
    return powerTimes10 > 330 || SimSnDevice::Faulty(ti, "TxInit") ? 1 : 0;
  }

  std::unique_ptr<qrx::sim::SimDownloader> downloader_;
};

} // namespace

QRX_SIM_EXPORT void *Create(void) { return qrx::sim::MakeRootObject(); }

QRX_SIM_EXPORT void *LoadQRXDll(int) {
  std::error_code madeDir;
  std::filesystem::create_directories(qrx::sim::IdentityStore::StateDirectory(), madeDir); // the settings file lives there
  auto downloader = std::make_unique<qrx::sim::SimDownloader>(
      qrx::sim::IdentityStore::StateDirectory() + "BI_QRX_Download.ini", "DownloadImage", 1);
  return static_cast<qrx::plugin::PhoneSnObject *>(new PhoneSn(std::move(downloader)));
}
