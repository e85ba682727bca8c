// Exports served by the station itself: log observers through the hub, identity programming
// and cable-loss transmitter control through the serial-number manager, image download through
// the download manager.
#include "interface/export_forwarder.h"
#include "interface/export_macros.h"

#include <qrx/qrx_interface.h>

QRX_EXPORT int RegisterObserver(ILogObserver *observer) {
  return qrx::ForwardExport<"RegisterObserver">(observer);
}

QRX_EXPORT int UnRegisterObserver(ILogObserver *observer) {
  return qrx::ForwardExport<"UnRegisterObserver">(observer);
}

QRX_EXPORT int TDDLTE_TxInit_CabLoss(int v1, int v2, int v3, int v4, int v5, int v6, int v7,
    int v8) {
  return qrx::ForwardExport<"TDDLTE_TxInit_CabLoss">(v1, v2, v3, v4, v5, v6, v7, v8);
}

QRX_EXPORT int TDDLTE_TxClose_CabLoss(void) {
  return qrx::ForwardExport<"TDDLTE_TxClose_CabLoss">();
}

QRX_EXPORT int FDDLTE_TxInit_CabLoss(int v1, int v2, int v3, int v4, int v5, int v6, int v7,
    int v8) {
  return qrx::ForwardExport<"FDDLTE_TxInit_CabLoss">(v1, v2, v3, v4, v5, v6, v7, v8);
}

QRX_EXPORT int FDDLTE_TxClose_CabLoss(void) {
  return qrx::ForwardExport<"FDDLTE_TxClose_CabLoss">();
}

QRX_EXPORT int Init_TestDLL_SN(void) {
  return qrx::ForwardExport<"Init_TestDLL_SN">();
}

QRX_EXPORT int OpenPort(int port, int rate) {
  return qrx::ForwardExport<"OpenPort">(port, rate);
}

QRX_EXPORT int ClosePort(void) {
  return qrx::ForwardExport<"ClosePort">();
}

QRX_EXPORT int WriteSN(const char *text, int extra) {
  return qrx::ForwardExport<"WriteSN">(text, extra);
}

QRX_EXPORT int ReadSN(char *out, int extra) {
  return qrx::ForwardExport<"ReadSN">(out, extra);
}

QRX_EXPORT int WriteMSN(const char *text, int extra) {
  return qrx::ForwardExport<"WriteMSN">(text, extra);
}

QRX_EXPORT int ReadMSN(char *out, int extra) {
  return qrx::ForwardExport<"ReadMSN">(out, extra);
}

QRX_EXPORT int WriteIMEI(const char *text, int extra) {
  return qrx::ForwardExport<"WriteIMEI">(text, extra);
}

QRX_EXPORT int ReadIMEI(char *out, int extra) {
  return qrx::ForwardExport<"ReadIMEI">(out, extra);
}

QRX_EXPORT int WritePSN16Bit(const char *text, int extra) {
  return qrx::ForwardExport<"WritePSN16Bit">(text, extra);
}

QRX_EXPORT int ReadPSN16Bit(char *out, int extra) {
  return qrx::ForwardExport<"ReadPSN16Bit">(out, extra);
}

QRX_EXPORT int ReadIntSoftVersion(char *out, int extra) {
  return qrx::ForwardExport<"ReadIntSoftVersion">(out, extra);
}

QRX_EXPORT int ReadTestInfo(int item, char *out) {
  return qrx::ForwardExport<"ReadTestInfo">(item, out);
}

QRX_EXPORT int ReadTestInfo_AT(int item, char *out) {
  return qrx::ForwardExport<"ReadTestInfo_AT">(item, out);
}

QRX_EXPORT int WriteFTFlag18G_LTEFT(void) {
  return qrx::ForwardExport<"WriteFTFlag18G_LTEFT">();
}

QRX_EXPORT int WriteMAC(const char *mac) {
  return qrx::ForwardExport<"WriteMAC">(mac);
}

QRX_EXPORT int ReadMAC(char *out) {
  return qrx::ForwardExport<"ReadMAC">(out);
}

QRX_EXPORT int WriteSSID(void) {
  return qrx::ForwardExport<"WriteSSID">();
}

QRX_EXPORT int ReadSSID(char *out) {
  return qrx::ForwardExport<"ReadSSID">(out);
}

QRX_EXPORT int ReadTestInfo_UFI(char *out) {
  return qrx::ForwardExport<"ReadTestInfo_UFI">(out);
}

QRX_EXPORT int ReadIntSoftVersion_UFI(char *out) {
  return qrx::ForwardExport<"ReadIntSoftVersion_UFI">(out);
}

QRX_EXPORT int Init_TestDll_DL(void) {
  return qrx::ForwardExport<"Init_TestDll_DL">();
}

QRX_EXPORT int StartDownloadImage(const char *imagePath, int option, QRXDownloadCallback callback,
    const char *secondImagePath, int extra1, int extra2, const char *extraText) {
  return qrx::ForwardExport<"StartDownloadImage">(imagePath, option, callback, secondImagePath,
      extra1, extra2, extraText);
}

QRX_EXPORT int StopDoadloadImage(void) {
  return qrx::ForwardExport<"StopDoadloadImage">();
}
