// The station's instrument manager: reads the tester's GPIB address, identifies the tester,
// loads the instrument library for its type and forwards three calls to its instrument.
#pragma once

#include "instruments/instrument_manager_interface.h"
#include "platform/dynamic_library.h"

#include <string>

namespace qrx {

class CInstrumentManager final : public IInstrumentManager {
public:
  // Without a "TransferType" entry the tester is taken to be on GPIB and identified: that is
  // how stations were wired before the entry existed.
  static constexpr int kDefaultTransferType = 0;

  explicit CInstrumentManager(ITestTools *hub) : IInstrumentManager(hub) {}
  // Leaves a loaded instrument loaded: its owner pairs Load with Unload.
  ~CInstrumentManager() override = default;
  CInstrumentManager(const CInstrumentManager &) = delete;
  CInstrumentManager &operator=(const CInstrumentManager &) = delete;

  int32_t Load() override;
  int32_t Unload() override;
  int32_t InstrumentCall1(int32_t a, int32_t b, int32_t c) override;
  int32_t InstrumentCall2(int32_t a, int32_t b, int32_t c) override;
  int32_t InstrumentCall3(int32_t a, int32_t b) override;

  // Type code of a tester model as the identification reports it (upper-cased first; the
  // first listed text found anywhere in it wins; 11 when none is).
  static int32_t TypeCodeForModel(const std::string &model);

  int32_t TypeCode() const { return typeCode_; }
  bool HoldsLibrary() const { return library_ != nullptr; }
  bool HoldsInstrument() const { return instrument_ != nullptr; }

private:
  int32_t typeCode_ = 11; // unknown until the first Load
  platform::ModuleHandle library_ = nullptr;
  void *instrument_ = nullptr;
};

} // namespace qrx
