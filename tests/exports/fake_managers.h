// Serial-number and download managers that record each operation with its arguments, put in
// a station's registry entry in place of the real ones.
#pragma once

#include "plugins/qrx_bi_download_manager_interface.h"
#include "sn/sn_manager.h"

#include <cstdio>
#include <string>
#include <vector>

namespace qrx::test {

struct ManagerCall {
  std::string operation;
  std::vector<std::string> arguments; // numbers as "%d", texts as they are, pointers as "%p"
  bool operator==(const ManagerCall &) const = default;
};

inline std::string Pointer(const void *p) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", p);
  return text;
}

// The operations a fake was asked for, each answered with `result`.
class OperationRecord {
public:
  std::vector<ManagerCall> calls;
  int32_t result = 37;

protected:
  static std::string Argument(int32_t v) { return std::to_string(v); }
  static std::string Argument(const char *text) { return text ? text : "(null)"; }
  static std::string Argument(const std::string &text) { return text; }
  static std::string Argument(char *buffer) { return Pointer(buffer); }
  static std::string Argument(QRXDownloadCallback f) { return Pointer(reinterpret_cast<void *>(f)); }
  template <typename... A> int32_t Note(const char *operation, const A &...arguments) {
    calls.push_back({operation, {Argument(arguments)...}});
    return result;
  }
};

class FakeSnManager final : public ISNManager, public OperationRecord {
public:
  FakeSnManager() : ISNManager(nullptr) {}

  int32_t Initialize() override { return Note("Initialize"); }
  int32_t Init_TestDLL_SN() override { return Note("Init_TestDLL_SN"); }
  int32_t WriteSN(const char *t, int32_t x) override { return Note("WriteSN", t, x); }
  int32_t WriteMSN(const char *t, int32_t x) override { return Note("WriteMSN", t, x); }
  int32_t ReservedOperation(int32_t v) override { return Note("ReservedOperation", v); }
  int32_t ReadSN(char *o, int32_t x) override { return Note("ReadSN", o, x); }
  int32_t ReadMSN(char *o, int32_t x) override { return Note("ReadMSN", o, x); }
  int32_t OpenPort(int32_t p, int32_t r) override { return Note("OpenPort", p, r); }
  int32_t ClosePort() override { return Note("ClosePort"); }
  int32_t ReadTestInfo(int32_t i, char *o) override { return Note("ReadTestInfo", i, o); }
  int32_t ReadTestInfo_AT(int32_t i, char *o) override { return Note("ReadTestInfo_AT", i, o); }
  int32_t WriteTestFlag(int32_t i, const char *t) override { return Note("WriteTestFlag", i, t); }
  int32_t ReadIntSoftVersion(char *o, int32_t x) override { return Note("ReadIntSoftVersion", o, x); }
  int32_t WriteIMEI(const char *t, int32_t x) override { return Note("WriteIMEI", t, x); }
  int32_t ReadIMEI(char *o, int32_t x) override { return Note("ReadIMEI", o, x); }
  int32_t WritePSN16Bit(const char *t, int32_t x) override { return Note("WritePSN16Bit", t, x); }
  int32_t ReadPSN16Bit(char *o, int32_t x) override { return Note("ReadPSN16Bit", o, x); }
  int32_t WriteMAC(const char *t) override { return Note("WriteMAC", t); }
  int32_t WriteSSID() override { return Note("WriteSSID"); }
  int32_t ReadMAC(char *o) override { return Note("ReadMAC", o); }
  int32_t ReadSSID(char *o) override { return Note("ReadSSID", o); }
  int32_t ReadTestInfo_UFI(char *o) override { return Note("ReadTestInfo_UFI", o); }
  int32_t ReadIntSoftVersion_UFI(char *o) override { return Note("ReadIntSoftVersion_UFI", o); }
  int32_t TDDLTE_TxInit_CabLoss(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f,
                                int32_t g, int32_t h) override {
    return Note("TDDLTE_TxInit_CabLoss", a, b, c, d, e, f, g, h);
  }
  int32_t TDDLTE_TxClose_CabLoss() override { return Note("TDDLTE_TxClose_CabLoss"); }
  int32_t FDDLTE_TxInit_CabLoss(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f,
                                int32_t g, int32_t h) override {
    return Note("FDDLTE_TxInit_CabLoss", a, b, c, d, e, f, g, h);
  }
  int32_t FDDLTE_TxClose_CabLoss() override { return Note("FDDLTE_TxClose_CabLoss"); }
};

class FakeDownloadManager final : public IQRXBIDownloadManager, public OperationRecord {
public:
  int32_t Initialize() override { return Note("Initialize"); }
  int32_t PrepareDownload() override { return Note("PrepareDownload"); }
  int32_t StartDownload(CString imagePath, int32_t option, QRXDownloadCallback callback,
                        CString secondImagePath, int32_t extra1, int32_t extra2,
                        CString extraText) override {
    return Note("StartDownload", imagePath, option, callback, secondImagePath, extra1, extra2,
                extraText);
  }
  int32_t StopDownload() override { return Note("StopDownload"); }
};

} // namespace qrx::test
