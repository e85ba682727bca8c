// Simulated instrument library (built twice: QRXNSigInstrument and QRXTESTSETPXI3000): hands
// out an instrument object per type code whose table answers the four positions the
// interface library uses.
#include <qrx/instrument_library.h>

#include <cstdio>

#ifndef QRX_SIM_INSTRUMENT_NAME
#define QRX_SIM_INSTRUMENT_NAME "QRXNSigInstrument"
#endif

namespace {

class Instrument final : public qrx::instrument::InstrumentObject {
public:
  explicit Instrument(int typeCode) : typeCode_(typeCode) {}

  int32_t UnloadStatus() override { return 0; }
  // Call 1 configures the generator (band, channel, level): a negative band is refused.
  int32_t Call1(int32_t band, int32_t, int32_t) override { ++calls_; return band < 0 ? 1 : 0; }
  // Call 2 runs a measurement (item, count, timeout): it needs a positive count.
  int32_t Call2(int32_t, int32_t count, int32_t) override { ++calls_; return count <= 0 ? 1 : 0; }
  // Call 3 sets the loss of an RF port (port, tenths of dB).
  int32_t Call3(int32_t port, int32_t) override { ++calls_; return port < 0 ? 1 : 0; }

private:
  int typeCode_;
  int calls_ = 0;
};

} // namespace

extern "C" __attribute__((visibility("default"))) void *GetQRXCalInstrInterface(int typeCode) {
  if (typeCode < QRX_INSTR_CMU200 || typeCode > QRX_INSTR_UNKNOWN) return nullptr;
  return static_cast<qrx::instrument::InstrumentObject *>(new Instrument(typeCode));
}

extern "C" __attribute__((visibility("default"))) void ReleaseInstrument(void *instrument) {
  delete static_cast<Instrument *>(static_cast<qrx::instrument::InstrumentObject *>(instrument));
}
