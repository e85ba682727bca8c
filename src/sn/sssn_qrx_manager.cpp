// Phone identity programming: positions of the BI_QRX SN object and the phone's sequences.
#include "sn/sssn_qrx_manager.h"

#include "plugins/bi_singleton.h"

#include <qrx/plugin_boundary.h>

#include <cstring>

namespace qrx {
using namespace plugin;

CSSSNQRXManager::CSSSNQRXManager(CQRXTestTools *testTools)
    : CBISnManager(testTools,
                   {kPhoneClosePort, kPhoneWriteSnFirstCopy, kPhoneReadSnFirstCopy,
                    kPhoneWriteSnSecondCopy, kPhoneReadSnSecondCopy, kPhoneWriteImeiFirstCopy,
                    kPhoneReadImeiFirstCopy, kPhoneWriteImeiSecondCopy, kPhoneReadImeiSecondCopy,
                    kPhoneWriteMsn, kPhoneReadMsn, kPhoneReadFlags, kPhoneReadIntSoftVersion,
                    kPhoneReserved, kPhoneReadFlagsAt, kPhoneWriteFlag}) {}

CBISnLoader *CSSSNQRXManager::FindLoader() { return CBISingleton::GetInstance(); }

int32_t CSSSNQRXManager::WriteSN(const char *text, int32_t extra) {
  if (!sn || !text) return 1;
  // Refused before anything reaches the device: an empty SN says nothing, a longer one
  // could never be read back equal.
  if (!*text || std::strlen(text) > kMaxSnLength) return 1;
  if (!CallZero(kPhoneWriteSnFirstCopy, text, extra)) return 1;
  if (!CallZero(kPhoneWriteSnSecondCopy, text, extra)) return 1;
  char first[kSnBufferSize], second[kSnBufferSize];
  if (!ReadCopy(kPhoneReadSnFirstCopy, first, sizeof first, extra)) return 1;
  if (!ReadCopy(kPhoneReadSnSecondCopy, second, sizeof second, extra)) return 1;
  return ReadBacksMatch("sn", text, {first, second}, sizeof first) ? 0 : 1;
}

int32_t CSSSNQRXManager::ReadSN(char *out, int32_t extra) {
  if (!sn || !out) return 1;
  char first[kSnBufferSize], second[kSnBufferSize];
  if (!ReadCopy(kPhoneReadSnFirstCopy, first, sizeof first, extra)) return 1;
  if (!ReadCopy(kPhoneReadSnSecondCopy, second, sizeof second, extra)) return 1;
  if (!SameCopies(first, second, sizeof first)) return 1;
  CopyOut(first, sizeof first, out);
  return 0;
}

int32_t CSSSNQRXManager::OpenPort(int32_t port, int32_t rate) {
  if (!sn) return 1;
  return CallZero(kPhoneOpenPort, port, rate) ? 0 : 1;
}

int32_t CSSSNQRXManager::WritePSN16Bit(const char *text, int32_t extra) {
  if (!sn || !text) return 1;
  return CallZero(kPhoneWritePsn, text, extra) ? 0 : 1;
}

int32_t CSSSNQRXManager::ReadPSN16Bit(char *out, int32_t extra) {
  if (!sn || !out) return 1;
  return CallZero(kPhoneReadPsn, out, extra) ? 0 : 1;
}

int32_t CSSSNQRXManager::TxInit(int position, int32_t v1, int32_t v2, int32_t v3, int32_t v4,
                                int32_t v5, int32_t v6, int32_t v7, int32_t v8) {
  if (!sn) return 1;
  // The plug-in reads the first value as a 16-bit count of tenths; wider values wrap.
  const auto tenths = static_cast<int16_t>(static_cast<int64_t>(v1) * 10);
  return CallZero(position, tenths, v2, v3, v4, v5, v6, v7, v8, 0) ? 0 : 1;
}

int32_t CSSSNQRXManager::TDDLTE_TxInit_CabLoss(int32_t v1, int32_t v2, int32_t v3, int32_t v4,
                                               int32_t v5, int32_t v6, int32_t v7, int32_t v8) {
  return TxInit(kPhoneTddTxInitCabLoss, v1, v2, v3, v4, v5, v6, v7, v8);
}

int32_t CSSSNQRXManager::FDDLTE_TxInit_CabLoss(int32_t v1, int32_t v2, int32_t v3, int32_t v4,
                                               int32_t v5, int32_t v6, int32_t v7, int32_t v8) {
  return TxInit(kPhoneFddTxInitCabLoss, v1, v2, v3, v4, v5, v6, v7, v8);
}

int32_t CSSSNQRXManager::TDDLTE_TxClose_CabLoss() {
  if (!sn) return 1;
  return CallZero(kPhoneTddTxClose) ? 0 : 1;
}

int32_t CSSSNQRXManager::FDDLTE_TxClose_CabLoss() {
  if (!sn) return 1;
  return CallZero(kPhoneFddTxClose) ? 0 : 1;
}

} // namespace qrx
