// Serial-number manager of UFI stations: identity programming through the SN object of the
// UFI plug-in BI_QRX_UFI_NET, with three verified SN copies, the MAC address derived from
// the SN, the port checks, MAC and SSID.
#pragma once

#include "sn/bi_sn_manager.h"

namespace qrx {

class CSSNUFIManager final : public CBISnManager {
public:
  // Longest MAC address or SSID text handed in or out; the caller's read buffer holds at
  // least kTextBufferSize bytes.
  static constexpr size_t kTextBufferSize = 64;

  explicit CSSNUFIManager(CQRXTestTools *testTools);

  // Results 0 open; 1 open failed; 2, 3, 4 port check 1, 2, 3 failed; 5 no SN object.
  int32_t OpenPort(int32_t port, int32_t rate) override;
  int32_t WriteSN(const char *text, int32_t extra) override;
  int32_t ReadSN(char *out, int32_t extra) override;
  // UFI devices have no 16-bit PSN: these answer 1 and call nothing.
  int32_t WritePSN16Bit(const char *, int32_t) override { return 1; }
  int32_t ReadPSN16Bit(char *, int32_t) override { return 1; }
  int32_t WriteMAC(const char *text) override;
  int32_t WriteSSID() override;
  int32_t ReadMAC(char *out) override;
  int32_t ReadSSID(char *out) override;
  int32_t ReadTestInfo_UFI(char *out) override;
  int32_t ReadIntSoftVersion_UFI(char *out) override;

  // "888888", the SN's last five characters (all of a shorter SN), then "8".
  static std::string MacFromSn(const std::string &sn);

protected:
  CBISnLoader *FindLoader() override;

private:
  // Reads a string-object copy; true when the plug-in's answer counts as success.
  bool ReadThirdCopy(char *buffer, size_t size);
};

} // namespace qrx
