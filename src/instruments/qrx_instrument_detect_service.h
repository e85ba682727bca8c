// The station's instrument detection: which radio-communication tester answers "*IDN?" at a
// GPIB address, found through VISA (and, for the locked query, a PXI tester among all
// VISA resources when nothing answers there).
#pragma once

#include "instruments/visa_library.h"

#include <qrx/instrument_detect.h>

#include <cstddef>
#include <mutex>

namespace qrx {

class CQRXInstrumentDetectService final : public IInstrumentDetectService {
public:
  static constexpr int kSlotCount = 4;
  static constexpr size_t kAnswerSize = 260;      // 259 characters of "*IDN?" answer
  static constexpr size_t kResourceNameSize = 30; // 29 characters of "GPIB%d::%d::0::INSTR"
  static constexpr size_t kFieldSize = 64;        // 63 characters per answer field
  static constexpr size_t kFieldCount = 4;        // manufacturer, model, serial, firmware
  static constexpr ViUInt32 kOpenTimeoutMs = 3000;

  CQRXInstrumentDetectService() = default;
  CQRXInstrumentDetectService(const CQRXInstrumentDetectService &) = delete;
  CQRXInstrumentDetectService &operator=(const CQRXInstrumentDetectService &) = delete;

  void *Reserved0() override { return nullptr; }
  void Release() override { delete this; }
  int Reserved2(int) override { return -1; }
  int IdentifyInstrument(InstrumentAddress *address) override;
  int Reserved4() override { return -1; }
  int IdentifyInstrumentAt(InstrumentAddress *address, int slot) override;
  int Reserved6(int, int) override { return -1; }
  virtual ~CQRXInstrumentDetectService() = default;

  // The buffers of one identification: the answer, the resource name it was asked at and
  // the answer's fields.
  struct Query {
    char answer[kAnswerSize];
    char resourceName[kResourceNameSize];
    char fields[kFieldCount][kFieldSize];
  };

  // What the last IdentifyInstrumentAt of a slot left behind (for diagnostics and tests).
  const Query &SlotQuery(int slot) const { return slots_[slot].query; }

private:
  struct Slot {
    ViSession resourceManager = kViNull;
    VisaLibrary visa;
    InstrumentAddress *address = nullptr;
    ViSession instrument = kViNull;
    Query query{};
  };

  int SearchPxi(InstrumentAddress *address);

  std::mutex lock_; // serialises IdentifyInstrument, message boxes included
  VisaLibrary visa_;
  ViSession resourceManager_ = kViNull;
  Slot slots_[kSlotCount];
};

} // namespace qrx
