/* A fake instrument library as an instrument-library author would write it from the public
 * header alone: a C++ class with the four used positions in table order.
 * Built a second time without GetQRXCalInstrInterface, as a library missing its entry. */
#include <qrx/instrument_library.h>

#include <string>

namespace {

int g_status = 0;
int g_lastTypeCode = -1;
int g_live = 0;
std::string g_calls;
std::string g_callsCopy;

class Instrument final : public qrx::instrument::InstrumentObject {
public:
  int32_t UnloadStatus() override {
    g_calls += "status\n";
    return g_status;
  }
  /* Results that keep each argument visible, so order and sign can be checked. */
  int32_t Call1(int32_t a, int32_t b, int32_t c) override {
    g_calls += "call1 " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + "\n";
    return a * 10000 + b * 100 + c;
  }
  int32_t Call2(int32_t a, int32_t b, int32_t c) override {
    g_calls += "call2 " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + "\n";
    return -(a * 10000 + b * 100 + c);
  }
  int32_t Call3(int32_t a, int32_t b) override {
    g_calls += "call3 " + std::to_string(a) + " " + std::to_string(b) + "\n";
    return a * 100 + b;
  }
};

} // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT void FakeInstrumentReset() {
  g_status = 0;
  g_lastTypeCode = -1;
  g_live = 0;
  g_calls.clear();
}
FAKE_EXPORT void FakeInstrumentSetStatus(int status) { g_status = status; }
FAKE_EXPORT int FakeInstrumentLastTypeCode() { return g_lastTypeCode; }
FAKE_EXPORT int FakeInstrumentLive() { return g_live; }
FAKE_EXPORT const char *FakeInstrumentCalls() {
  g_callsCopy = g_calls;
  return g_callsCopy.c_str();
}

#ifndef FAKE_INSTRUMENT_WITHOUT_ENTRY
FAKE_EXPORT void *GetQRXCalInstrInterface(int typeCode) {
  g_lastTypeCode = typeCode;
  ++g_live;
  return static_cast<qrx::instrument::InstrumentObject *>(new Instrument);
}
#endif

FAKE_EXPORT void ReleaseInstrument(void *instrument) {
  g_calls += "release\n";
  --g_live;
  delete static_cast<Instrument *>(static_cast<qrx::instrument::InstrumentObject *>(instrument));
}
