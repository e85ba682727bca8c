// What the phone and UFI serial-number managers share: the SN object of their plug-in, the
// thread index read before every call, the verified IMEI sequence, flag extraction and the
// single-call operations, each at the positions of its product's SN object.
#pragma once

#include "plugins/plugin_object.h"
#include "sn/sn_manager.h"

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qrx {

class CBISnLoader;

class CBISnManager : public ISNManager {
public:
  // Longest texts the verified writes accept: one byte of each read-back buffer holds the
  // terminating zero, so a longer text could never be read back equal.
  static constexpr size_t kSnBufferSize = 50;
  static constexpr size_t kImeiBufferSize = 16;
  static constexpr size_t kFlagBufferSize = 41;
  static constexpr size_t kMaxSnLength = kSnBufferSize - 1;
  static constexpr size_t kMaxImeiLength = kImeiBufferSize - 1;

  int32_t Initialize() override;
  int32_t Init_TestDLL_SN() override;
  int32_t WriteMSN(const char *text, int32_t extra) override;
  int32_t ReservedOperation(int32_t value) override;
  int32_t ReadMSN(char *out, int32_t extra) override;
  int32_t ClosePort() override;
  int32_t ReadTestInfo(int32_t item, char *out) override;
  int32_t ReadTestInfo_AT(int32_t item, char *out) override;
  int32_t WriteTestFlag(int32_t item, const char *text) override;
  int32_t ReadIntSoftVersion(char *out, int32_t extra) override;
  int32_t WriteIMEI(const char *text, int32_t extra) override;
  int32_t ReadIMEI(char *out, int32_t extra) override;

  // The thread index handed to the plug-in: "ThreadIndex" of the parameter data set, read
  // afresh for every call; -1 when absent.
  int ThreadIndex() const;

protected:
  struct Positions {
    int closePort;
    int writeSn1, readSn1, writeSn2, readSn2;
    int writeImei1, readImei1, writeImei2, readImei2;
    int writeMsn, readMsn;
    int readFlags, readIntSoftVersion, reserved, readFlagsAt, writeFlag;
  };
  CBISnManager(CQRXTestTools *testTools, const Positions &positions);

  // The product's loader instance, or null when it could not be created.
  virtual CBISnLoader *FindLoader() = 0;

  // One call at position whose result counts as success when it is 0.
  template <typename... Args> bool CallZero(int position, Args &&...args) {
    return sn.call<int>(position, std::forward<Args>(args)..., ThreadIndex()) == 0;
  }
  // Reads one copy of a text into a zero-filled buffer of size bytes; true on success.
  bool ReadCopy(int position, char *buffer, size_t size, int32_t extra);
  static bool SameText(const char *buffer, size_t size, const char *text);
  // Both copies hold the same terminated, non-empty text.
  static bool SameCopies(const char *first, const char *second, size_t size);
  // Every read-back copy (buffers of size bytes) equals the written text; each comparison goes
  // to the station's journal as an identity of kind.
  static bool ReadBacksMatch(std::string_view kind, const char *text,
                             std::initializer_list<const char *> copies, size_t size);
  // Copies the text in buffer (at most size - 1 bytes) with its terminating zero to out.
  static void CopyOut(const char *buffer, size_t size, char *out);

  CBISnLoader *loader = nullptr; // process-wide; not owned
  PluginObject sn;               // shared by all stations of the product; not owned
  Positions positions_;
};

} // namespace qrx
