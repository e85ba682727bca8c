// The station's instrument manager: connects the station to its radio-communication tester
// and forwards three calls to the instrument interface. The base answers 1 to everything.
#pragma once

#include <cstdint>

class ITestTools;

namespace qrx {

class IInstrumentManager {
public:
  explicit IInstrumentManager(ITestTools *hub) : hub(hub) {}
  virtual ~IInstrumentManager() = default;
  virtual int32_t Load() { return 1; }
  virtual int32_t Unload() { return 1; }
  // Passed to the instrument object unchanged; 32-bit values as the instrument libraries
  // declare them (see qrx/instrument_library.h).
  virtual int32_t InstrumentCall1(int32_t, int32_t, int32_t) { return 1; }
  virtual int32_t InstrumentCall2(int32_t, int32_t, int32_t) { return 1; }
  virtual int32_t InstrumentCall3(int32_t, int32_t) { return 1; }

protected:
  ITestTools *hub; // the station's hub; borrowed, never released here
};

} // namespace qrx
