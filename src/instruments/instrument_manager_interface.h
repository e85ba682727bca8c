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
  virtual intptr_t InstrumentCall1(intptr_t, intptr_t, intptr_t) { return 1; }
  virtual intptr_t InstrumentCall2(intptr_t, intptr_t, intptr_t) { return 1; }
  virtual intptr_t InstrumentCall3(intptr_t, intptr_t) { return 1; }

protected:
  ITestTools *hub; // the station's hub; borrowed, never released here
};

} // namespace qrx
