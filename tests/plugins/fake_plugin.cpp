// A BI plug-in written from the public boundary header alone: every position the library may
// call records its arguments and answers as the test scripted, over a simulated device.
// Built as the phone plug-in, or with FAKE_UFI as the UFI plug-in.
#include "fake_plugin_control.h"

#include <qrx/plugin_boundary.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

using namespace qrx::plugin;

namespace {

FakeControl g_control;
std::thread g_progressThread;

struct Sn {
  const void *const *table;
};
struct Root {
  const void *const *table;
};

std::string Text(const char *s) { return s ? std::string(s) : std::string("(null)"); }

template <typename... T> void Record(int position, const T &...parts) {
  std::string line = std::to_string(position) + "(";
  bool first = true;
  ((line += (first ? "" : ","), line += parts, first = false), ...);
  line += ")";
  std::lock_guard<std::mutex> hold(g_control.lock);
  g_control.calls.push_back(line);
}
std::string N(long v) { return std::to_string(v); }

// Success by the position's rule unless the test scripted another answer.
int Result(int position, int success) {
  std::lock_guard<std::mutex> hold(g_control.lock);
  auto it = g_control.results.find(position);
  return it == g_control.results.end() ? success : it->second;
}

// Field of the simulated device that a position writes or reads.
const char *Field(int position) {
#ifdef FAKE_UFI
  switch (position) {
  case kUfiWriteSnFirstCopy: case kUfiReadSnFirstCopy: return "sn1";
  case kUfiWriteSnSecondCopy: case kUfiReadSnSecondCopy: return "sn2";
  case kUfiWriteSnThirdCopy: case kUfiReadSnThirdCopy: return "sn3";
  case kUfiWriteImeiFirstCopy: case kUfiReadImeiFirstCopy: return "imei1";
  case kUfiWriteImeiSecondCopy: case kUfiReadImeiSecondCopy: return "imei2";
  case kUfiWriteMac: case kUfiReadMac: return "mac";
  case kUfiWriteMsn: case kUfiReadMsn: return "msn";
  }
#else
  switch (position) {
  case kPhoneWriteSnFirstCopy: case kPhoneReadSnFirstCopy: return "sn1";
  case kPhoneWriteSnSecondCopy: case kPhoneReadSnSecondCopy: return "sn2";
  case kPhoneWriteImeiFirstCopy: case kPhoneReadImeiFirstCopy: return "imei1";
  case kPhoneWriteImeiSecondCopy: case kPhoneReadImeiSecondCopy: return "imei2";
  case kPhoneWriteMsn: case kPhoneReadMsn: return "msn";
  case kPhoneWritePsn: case kPhoneReadPsn: return "psn";
  }
#endif
  return "other";
}

void Store(int position, const std::string &value) {
  std::lock_guard<std::mutex> hold(g_control.lock);
  g_control.device[Field(position)] = value;
}
std::string Load(int position) {
  std::lock_guard<std::mutex> hold(g_control.lock);
  auto fill = g_control.fills.find(position);
  if (fill != g_control.fills.end()) return fill->second;
  auto value = g_control.device.find(Field(position));
  return value == g_control.device.end() ? std::string() : value->second;
}
bool Flag(const std::map<int, bool> &m, int position) {
  std::lock_guard<std::mutex> hold(g_control.lock);
  auto it = m.find(position);
  return it != m.end() && it->second;
}

// Fills a buffer of the size the boundary promises for the position.
void FillBuffer(int position, char *out, size_t size) {
  if (!out || Flag(g_control.writeNothing, position)) return;
  if (Flag(g_control.overfill, position)) {
    std::memset(out, 'X', size);
    return;
  }
  std::string v = Load(position);
  if (v.size() >= size) v.resize(size - 1);
  std::memcpy(out, v.c_str(), v.size() + 1);
}

template <int P> int WriteText(Sn *, const char *text, int extra, int ti) {
  Record(P, Text(text), N(extra), N(ti));
  if (text) Store(P, text);
  return Result(P, 0);
}
template <int P, size_t Size> int ReadText(Sn *, char *out, int extra, int ti) {
  Record(P, out ? "buf" : "(null)", N(extra), N(ti));
  FillBuffer(P, out, Size);
  return Result(P, 0);
}
template <int P, int Success> int ThreeInts(Sn *, int a, int b, int c) {
  Record(P, N(a), N(b), N(c));
  return Result(P, Success);
}
template <int P, int Success> int OneInt(Sn *, int ti) {
  Record(P, N(ti));
  return Result(P, Success);
}
template <int P, int Success> int TwoInts(Sn *, int a, int b) {
  Record(P, N(a), N(b));
  return Result(P, Success);
}
template <int P> int ReadFlags(Sn *, int count, char *out, int ti) {
  Record(P, N(count), "buf", N(ti));
  if (Flag(g_control.overfill, P)) {
    std::memset(out, 'X', kFlagBufferSize);
  } else if (!Flag(g_control.writeNothing, P)) {
    std::lock_guard<std::mutex> hold(g_control.lock);
    std::strncpy(out, g_control.flags.c_str(), kFlagBufferSize - 1);
  }
  return Result(P, 0);
}
template <int P> int ReadFlagAt(Sn *, int item, char *out, int ti) {
  Record(P, N(item), out ? "buf" : "(null)", N(ti));
  if (out) std::strcpy(out, "1");
  return Result(P, 0);
}
template <int P> int WriteFlag(Sn *, int item, const char *text, int ti) {
  Record(P, N(item), Text(text), N(ti));
  return Result(P, 0);
}
int SetModel(Sn *, std::string &model) {
  Record(kSnSetModel, model);
  return 0;
}
int SetPhoneType(Sn *, const char *type) {
  Record(kSnSetPhoneType, Text(type));
  return Result(kSnSetPhoneType, 0);
}
const char *SettingsFile(Sn *) {
  Record(kSnGetSettingsFile);
  std::lock_guard<std::mutex> hold(g_control.lock);
  return g_control.settingsFile.empty() ? nullptr : g_control.settingsFile.c_str();
}
template <int P> int TxInit(Sn *, int16_t tenths, int v2, int v3, int v4, int v5, int v6, int v7,
                            int v8, int zero, int ti) {
  Record(P, N(tenths), N(v2), N(v3), N(v4), N(v5), N(v6), N(v7), N(v8), N(zero), N(ti));
  return Result(P, 0);
}
template <int P, int Success> int WriteString(Sn *, std::string value, int ti) {
  Record(P, value, N(ti));
  Store(P, value);
  return Result(P, Success);
}
template <int P, int Success> int ReadString(Sn *, std::string &out, int ti) {
  Record(P, out.empty() ? "empty" : "dirty", N(ti));
  if (!Flag(g_control.writeNothing, P)) out = Load(P);
  return Result(P, Success);
}
template <int P, int Success> int WriteString3(Sn *, std::string value, int zero, int ti) {
  Record(P, value, N(zero), N(ti));
  Store(P, value);
  return Result(P, Success);
}
template <int P, int Success> int ReadString3(Sn *, std::string &out, int zero, int ti) {
  Record(P, out.empty() ? "empty" : "dirty", N(zero), N(ti));
  if (!Flag(g_control.writeNothing, P)) out = Load(P);
  return Result(P, Success);
}
template <int P> int SetWindow(Sn *, void *window) {
  Record(P, window ? "window" : "(null)");
  std::lock_guard<std::mutex> hold(g_control.lock);
  g_control.window = window;
  return 0;
}
template <int P> int StartStop(Sn *, int start, int b) {
  Record(P, N(start), N(b));
  if (start) {
    std::vector<FakeProgress> progress;
    void *window;
    bool send;
    {
      std::lock_guard<std::mutex> hold(g_control.lock);
      progress = g_control.progress;
      window = g_control.window;
      send = g_control.sendProgress;
    }
    if (g_progressThread.joinable()) g_progressThread.join();
    if (!progress.empty())
      g_progressThread = std::thread([progress, window, send] {
        for (const FakeProgress &p : progress) {
          if (send) QRX_SendMessage(window, p.message, p.wparam, p.lparam);
          else QRX_PostMessage(window, p.message, p.wparam, p.lparam);
        }
      });
  }
  return 0;
}
#ifdef FAKE_UFI
template <int P> int ReadUfiForm(Sn *, char *out, int ti) {
  Record(P, out ? "buf" : "(null)", N(ti));
  FillBuffer(P, out, 64);
  return Result(P, 1);
}
int UfiExtra(Sn *, int a, int b, std::string text) {
  Record(kUfiDownloadExtra, N(a), N(b), text);
  return 0;
}
int NoArgs168(Sn *) {
  Record(kUfiPrepareFirst);
  return 0;
}
#endif
// Unload order is written beside the deployment: the control block dies with the library.
void LogUnload(const char *what) {
  if (std::FILE *f = std::fopen("unload.log", "a")) {
    std::fprintf(f, "%s\n", what);
    std::fclose(f);
  }
}

int SnRelease(Sn *self) {
  if (g_progressThread.joinable()) g_progressThread.join();
  LogUnload(FAKE_NAME " sn");
  std::lock_guard<std::mutex> hold(g_control.lock);
  ++g_control.snReleases;
  delete self;
  return 0;
}

#ifdef FAKE_UFI
constexpr int kSnTableSize = kUfiSnTableSize;
#else
constexpr int kSnTableSize = kPhoneSnTableSize;
#endif

Table<kSnTableSize> MakeSnTable() {
  Table<kSnTableSize> t;
  t.Set(kSnRelease, &SnRelease).Set(kSnSetModel, &SetModel).Set(kSnSetPhoneType, &SetPhoneType);
  t.Set(kSnGetSettingsFile, &SettingsFile);
#ifdef FAKE_UFI
  t.Set(kUfiOpenPort, &ThreeInts<kUfiOpenPort, 0>).Set(kUfiClosePort, &OneInt<kUfiClosePort, 0>);
  t.Set(kUfiWriteSnFirstCopy, &WriteText<kUfiWriteSnFirstCopy>);
  t.Set(kUfiReadSnFirstCopy, &ReadText<kUfiReadSnFirstCopy, kSnBufferSize>);
  t.Set(kUfiWriteSnSecondCopy, &WriteText<kUfiWriteSnSecondCopy>);
  t.Set(kUfiReadSnSecondCopy, &ReadText<kUfiReadSnSecondCopy, kSnBufferSize>);
  t.Set(kUfiWriteImeiFirstCopy, &WriteText<kUfiWriteImeiFirstCopy>);
  t.Set(kUfiReadImeiFirstCopy, &ReadText<kUfiReadImeiFirstCopy, kImeiBufferSize>);
  t.Set(kUfiWriteImeiSecondCopy, &WriteText<kUfiWriteImeiSecondCopy>);
  t.Set(kUfiReadImeiSecondCopy, &ReadText<kUfiReadImeiSecondCopy, kImeiBufferSize>);
  t.Set(kUfiWriteMsn, &WriteText<kUfiWriteMsn>).Set(kUfiReadMsn, &ReadText<kUfiReadMsn, 64>);
  t.Set(kUfiReadFlags, &ReadFlags<kUfiReadFlags>);
  t.Set(kUfiReadIntSoftVersion, &ReadText<kUfiReadIntSoftVersion, 64>);
  t.Set(kUfiPortCheck1, &OneInt<kUfiPortCheck1, 1>).Set(kUfiPortCheck2, &OneInt<kUfiPortCheck2, 1>);
  t.Set(kUfiPortCheck3, &OneInt<kUfiPortCheck3, 1>);
  t.Set(kUfiWriteSnThirdCopy, &WriteString<kUfiWriteSnThirdCopy, 1>);
  t.Set(kUfiReadSnThirdCopy, &ReadString<kUfiReadSnThirdCopy, 1>);
  t.Set(kUfiWriteMac, &WriteString3<kUfiWriteMac, 1>).Set(kUfiReadMac, &ReadString3<kUfiReadMac, 1>);
  t.Set(kUfiWriteSsid, &OneInt<kUfiWriteSsid, 1>).Set(kUfiReadSsid, &ReadString<kUfiReadSsid, 1>);
  t.Set(kUfiReadIntSoftVersionUfi, &ReadUfiForm<kUfiReadIntSoftVersionUfi>);
  t.Set(kUfiReadTestInfoUfi, &ReadUfiForm<kUfiReadTestInfoUfi>);
  t.Set(kUfiDownloadWindow, &SetWindow<kUfiDownloadWindow>);
  t.Set(kUfiDownloadStartStop, &StartStop<kUfiDownloadStartStop>);
  t.Set(kUfiDownloadOption, &TwoInts<kUfiDownloadOption, 0>).Set(kUfiDownloadExtra, &UfiExtra);
  t.Set(kUfiReserved, &ThreeInts<kUfiReserved, 0>);
  t.Set(kUfiReadFlagsAt, &ReadFlagAt<kUfiReadFlagsAt>).Set(kUfiWriteFlag, &WriteFlag<kUfiWriteFlag>);
  t.Set(kUfiPrepareFirst, &NoArgs168).Set(kUfiPrepareSecond, &OneInt<kUfiPrepareSecond, 0>);
#else
  t.Set(kPhoneOpenPort, &ThreeInts<kPhoneOpenPort, 0>).Set(kPhoneClosePort, &OneInt<kPhoneClosePort, 0>);
  t.Set(kPhoneTddTxInitCabLoss, &TxInit<kPhoneTddTxInitCabLoss>);
  t.Set(kPhoneTddTxClose, &OneInt<kPhoneTddTxClose, 0>);
  t.Set(kPhoneFddTxInitCabLoss, &TxInit<kPhoneFddTxInitCabLoss>);
  t.Set(kPhoneFddTxClose, &OneInt<kPhoneFddTxClose, 0>);
  t.Set(kPhoneWriteSnFirstCopy, &WriteText<kPhoneWriteSnFirstCopy>);
  t.Set(kPhoneReadSnFirstCopy, &ReadText<kPhoneReadSnFirstCopy, kSnBufferSize>);
  t.Set(kPhoneWriteSnSecondCopy, &WriteText<kPhoneWriteSnSecondCopy>);
  t.Set(kPhoneReadSnSecondCopy, &ReadText<kPhoneReadSnSecondCopy, kSnBufferSize>);
  t.Set(kPhoneWriteImeiFirstCopy, &WriteText<kPhoneWriteImeiFirstCopy>);
  t.Set(kPhoneReadImeiFirstCopy, &ReadText<kPhoneReadImeiFirstCopy, kImeiBufferSize>);
  t.Set(kPhoneWriteImeiSecondCopy, &WriteText<kPhoneWriteImeiSecondCopy>);
  t.Set(kPhoneReadImeiSecondCopy, &ReadText<kPhoneReadImeiSecondCopy, kImeiBufferSize>);
  t.Set(kPhoneWriteMsn, &WriteText<kPhoneWriteMsn>).Set(kPhoneReadMsn, &ReadText<kPhoneReadMsn, 64>);
  t.Set(kPhoneWritePsn, &WriteText<kPhoneWritePsn>).Set(kPhoneReadPsn, &ReadText<kPhoneReadPsn, 64>);
  t.Set(kPhoneReadFlags, &ReadFlags<kPhoneReadFlags>);
  t.Set(kPhoneReadIntSoftVersion, &ReadText<kPhoneReadIntSoftVersion, 64>);
  t.Set(kPhoneDownloadWindow, &SetWindow<kPhoneDownloadWindow>);
  t.Set(kPhoneDownloadStartStop, &StartStop<kPhoneDownloadStartStop>);
  t.Set(kPhoneDownloadOption, &TwoInts<kPhoneDownloadOption, 0>);
  t.Set(kPhoneReserved, &ThreeInts<kPhoneReserved, 0>);
  t.Set(kPhoneReadFlagsAt, &ReadFlagAt<kPhoneReadFlagsAt>).Set(kPhoneWriteFlag, &WriteFlag<kPhoneWriteFlag>);
#endif
  return t;
}

void RootRelease(Root *self) {
  LogUnload(FAKE_NAME " root");
  {
    std::lock_guard<std::mutex> hold(g_control.lock);
    ++g_control.rootReleases;
  }
  delete self;
}
void RootInitialise(Root *, int value) {
  std::lock_guard<std::mutex> hold(g_control.lock);
  g_control.rootInitialiseValue = value;
}

} // namespace

extern "C" __attribute__((visibility("default"))) FakeControl *FakeControlBlock() {
  return &g_control;
}

extern "C" __attribute__((visibility("default"))) void *Create(void) {
  static const Table<kRootTableSize> table =
      Table<kRootTableSize>().Set(kRootRelease, &RootRelease).Set(kRootInitialise, &RootInitialise);
  std::lock_guard<std::mutex> hold(g_control.lock);
  ++g_control.createCalls;
  if (g_control.createReturnsNull) return nullptr;
  return new Root{table.AddressPoint()};
}

extern "C" __attribute__((visibility("default"))) void *LoadQRXDll(int zero) {
  static const Table<kSnTableSize> table = MakeSnTable();
  Record(-1, N(zero)); // the export itself, recorded as position -1
  std::lock_guard<std::mutex> hold(g_control.lock);
  ++g_control.loadCalls;
  if (g_control.loadReturnsNull) return nullptr;
  return new Sn{table.AddressPoint()};
}
