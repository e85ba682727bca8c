/* A fake instrument library as an instrument-library author would write it from the public
 * header alone: a table of QRX_INSTR_TABLE_SIZE entries with the four used positions filled.
 * Built a second time without GetQRXCalInstrInterface, as a library missing its entry. */
#include "fake_instrument_control.h"

#include <qrx/instrument_library.h>

#include <string>

namespace {

struct Instrument {
  void *const *table;
  int typeCode;
};

int g_status = 0;
int g_lastTypeCode = -1;
int g_live = 0;
std::string g_calls;
std::string g_callsCopy;

int32_t Status(void *) {
  g_calls += "status\n";
  return g_status;
}
/* Results that keep each argument visible, so order and sign can be checked. */
int32_t Call1(void *, int32_t a, int32_t b, int32_t c) {
  g_calls += "call1 " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + "\n";
  return a * 10000 + b * 100 + c;
}
int32_t Call2(void *, int32_t a, int32_t b, int32_t c) {
  g_calls += "call2 " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + "\n";
  return -(a * 10000 + b * 100 + c);
}
int32_t Call3(void *, int32_t a, int32_t b) {
  g_calls += "call3 " + std::to_string(a) + " " + std::to_string(b) + "\n";
  return a * 100 + b;
}
int32_t Unused(void *) {
  g_calls += "unused position\n";
  return 7777;
}

[[maybe_unused]] void *const *Table() {
  static void *table[QRX_INSTR_TABLE_SIZE];
  for (void *&entry : table) entry = reinterpret_cast<void *>(&Unused);
  table[QRX_INSTR_POS_UNLOAD_STATUS] = reinterpret_cast<void *>(&Status);
  table[QRX_INSTR_POS_CALL1] = reinterpret_cast<void *>(&Call1);
  table[QRX_INSTR_POS_CALL2] = reinterpret_cast<void *>(&Call2);
  table[QRX_INSTR_POS_CALL3] = reinterpret_cast<void *>(&Call3);
  return table;
}

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
  return new Instrument{Table(), typeCode};
}
#endif

FAKE_EXPORT void ReleaseInstrument(void *instrument) {
  g_calls += "release\n";
  --g_live;
  delete static_cast<Instrument *>(instrument);
}
