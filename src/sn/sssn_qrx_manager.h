// Serial-number manager of phone stations: identity programming through the SN object of the
// phone plug-in BI_QRX, with two verified copies of SN and IMEI and the cable-loss
// transmitter control of the LTE final test.
#pragma once

#include "sn/bi_sn_manager.h"

namespace qrx {

class CSSSNQRXManager final : public CBISnManager {
public:
  explicit CSSSNQRXManager(CQRXTestTools *testTools);

  int32_t WriteSN(const char *text, int32_t extra) override;
  int32_t ReadSN(char *out, int32_t extra) override;
  int32_t OpenPort(int32_t port, int32_t rate) override;
  int32_t WritePSN16Bit(const char *text, int32_t extra) override;
  int32_t ReadPSN16Bit(char *out, int32_t extra) override;
  // Phones have no MAC address, SSID or UFI forms: these answer 1 and call nothing.
  int32_t WriteMAC(const char *) override { return 1; }
  int32_t WriteSSID() override { return 1; }
  int32_t ReadMAC(char *) override { return 1; }
  int32_t ReadSSID(char *) override { return 1; }
  int32_t ReadTestInfo_UFI(char *) override { return 1; }
  int32_t ReadIntSoftVersion_UFI(char *) override { return 1; }
  int32_t TDDLTE_TxInit_CabLoss(int32_t v1, int32_t v2, int32_t v3, int32_t v4, int32_t v5,
                                int32_t v6, int32_t v7, int32_t v8) override;
  int32_t TDDLTE_TxClose_CabLoss() override;
  int32_t FDDLTE_TxInit_CabLoss(int32_t v1, int32_t v2, int32_t v3, int32_t v4, int32_t v5,
                                int32_t v6, int32_t v7, int32_t v8) override;
  int32_t FDDLTE_TxClose_CabLoss() override;

protected:
  CBISnLoader *FindLoader() override;

private:
  int32_t TxInit(int position, int32_t v1, int32_t v2, int32_t v3, int32_t v4, int32_t v5,
                 int32_t v6, int32_t v7, int32_t v8);
};

} // namespace qrx
