// Simulated instrument library (built twice: QRXNSigInstrument and QRXTESTSETPXI3000): hands
// out an instrument object per type code whose table answers the four positions the
// interface library uses.
#include "../plugins/plugin_object.h"

#include <qrx/instrument_library.h>

#include <cstdio>

#ifndef QRX_SIM_INSTRUMENT_NAME
#define QRX_SIM_INSTRUMENT_NAME "QRXNSigInstrument"
#endif

namespace {

using namespace qrx::instrument;

struct InstrumentState {
  int typeCode;
  int calls = 0;
};
using Instrument = qrx::sim::PluginObject<InstrumentState>;

int UnloadStatus(Instrument *) { return 0; }
// Call 1 configures the generator (band, channel, level): a negative band is refused.
int Configure(Instrument *self, int band, int, int) { ++self->state.calls; return band < 0 ? 1 : 0; }
// Call 2 runs a measurement (item, count, timeout): it needs a positive count.
int Measure(Instrument *self, int, int count, int) { ++self->state.calls; return count <= 0 ? 1 : 0; }
// Call 3 sets the loss of an RF port (port, tenths of dB).
int SetPortLoss(Instrument *self, int port, int) { ++self->state.calls; return port < 0 ? 1 : 0; }

} // namespace

extern "C" __attribute__((visibility("default"))) void *GetQRXCalInstrInterface(int typeCode) {
  static qrx::sim::PositionTable<kTableSize> table = [] {
    qrx::sim::PositionTable<kTableSize> t(QRX_SIM_INSTRUMENT_NAME);
    t.Set(kUnloadStatus, &UnloadStatus);
    t.Set(kCall1, &Configure);
    t.Set(kCall2, &Measure);
    t.Set(kCall3, &SetPortLoss);
    return t;
  }();
  if (typeCode < QRX_INSTR_CMU200 || typeCode > QRX_INSTR_UNKNOWN) return nullptr;
  return new Instrument{table.AddressPoint(), {typeCode}};
}

extern "C" __attribute__((visibility("default"))) void ReleaseInstrument(void *instrument) {
  delete static_cast<Instrument *>(instrument);
}
