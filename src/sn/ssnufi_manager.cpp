// UFI identity programming: positions of the BI_QRX_UFI_NET SN object and the UFI sequences.
#include "sn/ssnufi_manager.h"

#include <qrx/qrx_interface.h>

#include "journal/station_journal.h"
#include "plugins/ufi_bi_singleton.h"

#include <qrx/plugin_boundary.h>

#include <cstring>

// The host's buffer sizes promised in qrx_interface.h are the ones the managers copy into.
static_assert(QRX_SN_BUFFER_SIZE == qrx::CBISnManager::kSnBufferSize);
static_assert(QRX_IMEI_BUFFER_SIZE == qrx::CBISnManager::kImeiBufferSize);
static_assert(QRX_TEST_INFO_BUFFER_SIZE == qrx::CBISnManager::kFlagBufferSize);
static_assert(QRX_TEXT_BUFFER_SIZE == qrx::CSSNUFIManager::kTextBufferSize);

namespace qrx {
using namespace plugin;

CSSNUFIManager::CSSNUFIManager(CQRXTestTools *testTools)
    : CBISnManager(testTools,
                   {kUfiClosePort, kUfiWriteSnFirstCopy, kUfiReadSnFirstCopy,
                    kUfiWriteSnSecondCopy, kUfiReadSnSecondCopy, kUfiWriteImeiFirstCopy,
                    kUfiReadImeiFirstCopy, kUfiWriteImeiSecondCopy, kUfiReadImeiSecondCopy,
                    kUfiWriteMsn, kUfiReadMsn, kUfiReadFlags, kUfiReadIntSoftVersion, kUfiReserved,
                    kUfiReadFlagsAt, kUfiWriteFlag}) {}

CBISnLoader *CSSNUFIManager::FindLoader() { return CUFiBISingleton::GetInstance(); }

std::string CSSNUFIManager::MacFromSn(const std::string &sn) {
  const size_t tail = sn.size() < 5 ? sn.size() : 5;
  return "888888" + sn.substr(sn.size() - tail) + "8";
}

int32_t CSSNUFIManager::OpenPort(int32_t port, int32_t rate) {
  if (!sn) return 5;
  // The open passes 0 where the other calls pass the thread index.
  if (sn.call<int>(kUfiOpenPort, port, rate, 0) != 0) return 1;
  if (sn.call<int>(kUfiPortCheck1, ThreadIndex()) != 1) return 2;
  if (sn.call<int>(kUfiPortCheck2, ThreadIndex()) != 1) return 3;
  if (sn.call<int>(kUfiPortCheck3, ThreadIndex()) != 1) return 4;
  return 0;
}

bool CSSNUFIManager::ReadThirdCopy(char *buffer, size_t size) {
  std::memset(buffer, 0, size);
  std::string copy;
  if (sn.call<int>(kUfiReadSnThirdCopy, copy, ThreadIndex()) == 0) return false;
  // A copy that does not fit the buffer cannot be the SN we wrote.
  if (copy.size() >= size) return false;
  std::memcpy(buffer, copy.data(), copy.size());
  return true;
}

int32_t CSSNUFIManager::WriteSN(const char *text, int32_t extra) {
  if (!sn || !text) return 1;
  // Refused before anything reaches the device: an empty SN says nothing, a longer one
  // could never be read back equal.
  if (!*text || std::strlen(text) > kMaxSnLength) return 1;
  if (!CallZero(kUfiWriteSnFirstCopy, text, extra)) return 1;
  if (!CallZero(kUfiWriteSnSecondCopy, text, extra)) return 1;
  if (sn.call<int>(kUfiWriteSnThirdCopy, std::string(text), ThreadIndex()) == 0) return 1;
  char first[kSnBufferSize], second[kSnBufferSize], third[kSnBufferSize];
  if (!ReadCopy(kUfiReadSnFirstCopy, first, sizeof first, extra)) return 1;
  if (!ReadCopy(kUfiReadSnSecondCopy, second, sizeof second, extra)) return 1;
  if (!ReadThirdCopy(third, sizeof third)) return 1;
  if (!ReadBacksMatch("sn", text, {first, second, third}, sizeof first)) return 1;
  // The derived MAC write counts any non-zero answer as done.
  const std::string mac = MacFromSn(text); // const: the plug-in takes it by value
  const int written = sn.call<int>(kUfiWriteMac, mac, 0, ThreadIndex()) != 0 ? 0 : 1;
  if (journal::StationJournal *journal = journal::StationJournal::Current())
    journal->Identity("mac", journal::identity_op::kWrite, mac, nullptr, written, written == 0);
  return written;
}

int32_t CSSNUFIManager::ReadSN(char *out, int32_t extra) {
  if (!sn || !out) return 1;
  char first[kSnBufferSize], second[kSnBufferSize], third[kSnBufferSize];
  if (!ReadCopy(kUfiReadSnFirstCopy, first, sizeof first, extra)) return 1;
  if (!ReadCopy(kUfiReadSnSecondCopy, second, sizeof second, extra)) return 1;
  if (!ReadThirdCopy(third, sizeof third)) return 1;
  if (!SameCopies(first, second, sizeof first) || !SameCopies(first, third, sizeof first))
    return 1;
  CopyOut(first, sizeof first, out);
  return 0;
}

int32_t CSSNUFIManager::WriteMAC(const char *text) {
  if (!sn || !text) return 1;
  if (!*text || std::strlen(text) >= kTextBufferSize) return 1;
  return sn.call<int>(kUfiWriteMac, std::string(text), 0, ThreadIndex()) == 1 ? 0 : 1;
}

int32_t CSSNUFIManager::WriteSSID() {
  if (!sn) return 1;
  return sn.call<int>(kUfiWriteSsid, ThreadIndex()) == 1 ? 0 : 1;
}

int32_t CSSNUFIManager::ReadMAC(char *out) {
  if (!sn || !out) return 1;
  std::string mac;
  if (sn.call<int>(kUfiReadMac, mac, 0, ThreadIndex()) != 1) return 1;
  if (mac.empty() || mac.size() >= kTextBufferSize) return 1;
  std::memcpy(out, mac.c_str(), mac.size() + 1);
  return 0;
}

int32_t CSSNUFIManager::ReadSSID(char *out) {
  if (!sn || !out) return 1;
  std::string ssid;
  if (sn.call<int>(kUfiReadSsid, ssid, ThreadIndex()) == 0) return 1;
  if (ssid.empty() || ssid.size() >= kTextBufferSize) return 1;
  std::memcpy(out, ssid.c_str(), ssid.size() + 1);
  return 0;
}

int32_t CSSNUFIManager::ReadTestInfo_UFI(char *out) {
  if (!sn || !out) return 1;
  return sn.call<int>(kUfiReadTestInfoUfi, out, ThreadIndex()) != 0 ? 0 : 1;
}

int32_t CSSNUFIManager::ReadIntSoftVersion_UFI(char *out) {
  if (!sn || !out) return 1;
  return sn.call<int>(kUfiReadIntSoftVersionUfi, out, ThreadIndex()) != 0 ? 0 : 1;
}

} // namespace qrx
