// The station's serial-number manager: programs and reads the device identity through the SN
// object of the product's BI plug-in. The identity exports and four cable-loss exports call
// exactly one operation each and return its result unchanged.
#pragma once

#include <cstdint>

namespace qrx {

class CQRXTestTools;

// Results are 0 for success and 1 for failure unless an operation says otherwise. Text
// arguments are zero-terminated byte strings; `out` arguments are caller buffers.
class ISNManager {
public:
  explicit ISNManager(CQRXTestTools *testTools) : testTools(testTools) {}
  virtual ~ISNManager() = default;

  // 1 when the plug-in's SN object is ready, 0 when not.
  virtual int32_t Initialize() = 0;
  virtual int32_t Init_TestDLL_SN() = 0;
  virtual int32_t WriteSN(const char *text, int32_t extra) = 0;
  virtual int32_t WriteMSN(const char *text, int32_t extra) = 0;
  virtual int32_t ReservedOperation(int32_t value) = 0;
  virtual int32_t ReadSN(char *out, int32_t extra) = 0;
  virtual int32_t ReadMSN(char *out, int32_t extra) = 0;
  virtual int32_t OpenPort(int32_t port, int32_t rate) = 0;
  virtual int32_t ClosePort() = 0;
  virtual int32_t ReadTestInfo(int32_t item, char *out) = 0;
  virtual int32_t ReadTestInfo_AT(int32_t item, char *out) = 0;
  virtual int32_t WriteTestFlag(int32_t item, const char *text) = 0;
  virtual int32_t ReadIntSoftVersion(char *out, int32_t extra) = 0;
  virtual int32_t WriteIMEI(const char *text, int32_t extra) = 0;
  virtual int32_t ReadIMEI(char *out, int32_t extra) = 0;
  virtual int32_t WritePSN16Bit(const char *text, int32_t extra) = 0;
  virtual int32_t ReadPSN16Bit(char *out, int32_t extra) = 0;
  virtual int32_t WriteMAC(const char *text) = 0;
  virtual int32_t WriteSSID() = 0;
  virtual int32_t ReadMAC(char *out) = 0;
  virtual int32_t ReadSSID(char *out) = 0;
  // The UFI forms read into the caller's buffer, as the other reads do.
  virtual int32_t ReadTestInfo_UFI(char *out) = 0;
  virtual int32_t ReadIntSoftVersion_UFI(char *out) = 0;
  // Cable-loss transmitter control; a manager without it answers 1 and does nothing.
  virtual int32_t TDDLTE_TxInit_CabLoss(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                        int32_t, int32_t) {
    return 1;
  }
  virtual int32_t TDDLTE_TxClose_CabLoss() { return 1; }
  virtual int32_t FDDLTE_TxInit_CabLoss(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                        int32_t, int32_t) {
    return 1;
  }
  virtual int32_t FDDLTE_TxClose_CabLoss() { return 1; }

protected:
  CQRXTestTools *testTools; // the station's hub; not owned
};

} // namespace qrx
