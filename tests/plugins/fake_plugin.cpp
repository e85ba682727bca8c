// A BI plug-in written from the public boundary header alone: every position the library may
// call records its arguments and answers as the test scripted; reads hand back what was written
// last. Built as the phone plug-in, or with FAKE_UFI as the UFI plug-in.
#include "fake_plugin_control.h"

#include <qrx/plugin_boundary.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

using namespace qrx::plugin;

namespace {

FakeControl g_control;
std::thread g_progressThread;

// How an argument is recorded: numbers in decimal, texts verbatim, output buffers as "buf".
std::string Arg(long v) { return std::to_string(v); }
std::string Arg(const char *s) { return s ? std::string(s) : std::string("(null)"); }
std::string Arg(char *out) { return out ? "buf" : "(null)"; }
std::string Arg(const std::string &s) { return s; }

template <typename... T> void Record(int position, const T &...arguments) {
  std::string line = std::to_string(position) + "(";
  bool first = true;
  ((line += (first ? "" : ","), line += Arg(arguments), first = false), ...);
  line += ")";
  std::lock_guard<std::mutex> hold(g_control.lock);
  g_control.calls.push_back(line);
}

// Success by the position's rule unless the test scripted another answer.
int Result(int position, int success) {
  std::lock_guard<std::mutex> hold(g_control.lock);
  auto it = g_control.results.find(position);
  return it == g_control.results.end() ? success : it->second;
}

void Store(const std::string &value) {
  std::lock_guard<std::mutex> hold(g_control.lock);
  g_control.lastWritten = value;
}
// What a read position hands back: its scripted text, else what was written last.
std::string Load(int position) {
  std::lock_guard<std::mutex> hold(g_control.lock);
  auto fill = g_control.fills.find(position);
  return fill != g_control.fills.end() ? fill->second : g_control.lastWritten;
}
bool Flag(const std::map<int, bool> &m, int position) {
  std::lock_guard<std::mutex> hold(g_control.lock);
  auto it = m.find(position);
  return it != m.end() && it->second;
}

// Fills a buffer of the size the boundary promises for the position.
void FillBuffer(int position, char *out, size_t size, std::string v) {
  if (!out || Flag(g_control.writeNothing, position)) return;
  if (Flag(g_control.overfill, position)) {
    std::memset(out, 'X', size);
    return;
  }
  if (v.size() >= size) v.resize(size - 1);
  std::memcpy(out, v.c_str(), v.size() + 1);
}

template <int P> int WriteText(const char *text, int extra, int ti) {
  Record(P, text, extra, ti);
  if (text) Store(text);
  return Result(P, 0);
}
template <int P, size_t Size, int Success = 0, typename... I> int ReadText(char *out, I... ints) {
  Record(P, out, ints...);
  FillBuffer(P, out, Size, Load(P));
  return Result(P, Success);
}
// Positions that only record their arguments and answer.
template <int P, int Success, typename... A> int Plain(A... arguments) {
  Record(P, arguments...);
  return Result(P, Success);
}
template <int P> int ReadFlags(int count, char *out, int ti) {
  Record(P, count, out, ti);
  FillBuffer(P, out, kFlagBufferSize, "ABCDEFGHIJKLMNOPQRST");
  return Result(P, 0);
}
template <int P> int ReadFlagAt(int item, char *out, int ti) {
  Record(P, item, out, ti);
  if (out) std::strcpy(out, "1");
  return Result(P, 0);
}
const char *SettingsFile() {
  Record(kSnGetSettingsFile);
  std::lock_guard<std::mutex> hold(g_control.lock);
  return g_control.settingsFile.empty() ? nullptr : g_control.settingsFile.c_str();
}
// The string forms, with their trailing integer arguments (thread index last).
template <int P, int Success, typename... I> int WriteString(std::string value, I... ints) {
  Record(P, value, ints...);
  Store(value);
  return Result(P, Success);
}
template <int P, int Success, typename... I> int ReadString(std::string &out, I... ints) {
  Record(P, out.empty() ? "empty" : "dirty", ints...);
  if (!Flag(g_control.writeNothing, P)) out = Load(P);
  return Result(P, Success);
}
template <int P> int SetWindow(void *window) {
  Record(P, window ? "window" : "(null)");
  std::lock_guard<std::mutex> hold(g_control.lock);
  g_control.window = window;
  return 0;
}
template <int P> int StartStop(int start, int b) {
  Record(P, start, b);
  if (start) {
    std::vector<FakeProgress> progress;
    void *window;
    {
      std::lock_guard<std::mutex> hold(g_control.lock);
      progress = g_control.progress;
      window = g_control.window;
    }
    if (g_progressThread.joinable()) g_progressThread.join();
    if (!progress.empty())
      g_progressThread = std::thread([progress, window] {
        for (const FakeProgress &p : progress) {
#ifdef _WIN32
          // As Windows plug-ins report: the system's own calls on the window handle.
          ::PostMessageA(static_cast<HWND>(window), p.message, p.wparam, p.lparam);
#else
          QRX_PostMessage(window, p.message, p.wparam, p.lparam);
#endif
        }
      });
  }
  return 0;
}
// Unload order is written beside the deployment: the control block dies with the library.
void LogUnload(const char *what) {
  if (std::FILE *f = std::fopen("unload.log", "ab")) {
    std::fprintf(f, "%s\n", what);
    std::fclose(f);
  }
}

void SnRelease() {
  if (g_progressThread.joinable()) g_progressThread.join();
  LogUnload(FAKE_NAME " sn");
}

#ifdef FAKE_UFI
class Sn final : public UfiSnObject {
public:
  int OpenPort(int a, int b, int c) override { return Plain<kUfiOpenPort, 0>(a, b, c); }
  int ClosePort(int ti) override { return Plain<kUfiClosePort, 0>(ti); }
  int WriteSnFirstCopy(const char *t, int e, int ti) override { return WriteText<kUfiWriteSnFirstCopy>(t, e, ti); }
  int ReadSnFirstCopy(char *o, int e, int ti) override { return ReadText<kUfiReadSnFirstCopy, kSnBufferSize>(o, e, ti); }
  int WriteSnSecondCopy(const char *t, int e, int ti) override { return WriteText<kUfiWriteSnSecondCopy>(t, e, ti); }
  int ReadSnSecondCopy(char *o, int e, int ti) override { return ReadText<kUfiReadSnSecondCopy, kSnBufferSize>(o, e, ti); }
  int WriteImeiFirstCopy(const char *t, int e, int ti) override { return WriteText<kUfiWriteImeiFirstCopy>(t, e, ti); }
  int ReadImeiFirstCopy(char *o, int e, int ti) override { return ReadText<kUfiReadImeiFirstCopy, kImeiBufferSize>(o, e, ti); }
  int WriteImeiSecondCopy(const char *t, int e, int ti) override { return WriteText<kUfiWriteImeiSecondCopy>(t, e, ti); }
  int ReadImeiSecondCopy(char *o, int e, int ti) override { return ReadText<kUfiReadImeiSecondCopy, kImeiBufferSize>(o, e, ti); }
  int WriteMsn(const char *t, int e, int ti) override { return WriteText<kUfiWriteMsn>(t, e, ti); }
  int ReadMsn(char *o, int e, int ti) override { return ReadText<kUfiReadMsn, 64>(o, e, ti); }
  int ReadFlags(int n, char *o, int ti) override { return ::ReadFlags<kUfiReadFlags>(n, o, ti); }
  int ReadIntSoftVersion(char *o, int e, int ti) override { return ReadText<kUfiReadIntSoftVersion, 64>(o, e, ti); }
  int PortCheck1(int ti) override { return Plain<kUfiPortCheck1, 1>(ti); }
  int PortCheck2(int ti) override { return Plain<kUfiPortCheck2, 1>(ti); }
  int PortCheck3(int ti) override { return Plain<kUfiPortCheck3, 1>(ti); }
  int WriteSnThirdCopy(std::string v, int ti) override { return WriteString<kUfiWriteSnThirdCopy, 1>(v, ti); }
  int ReadSnThirdCopy(std::string &o, int ti) override { return ReadString<kUfiReadSnThirdCopy, 1>(o, ti); }
  int WriteMac(std::string v, int z, int ti) override { return WriteString<kUfiWriteMac, 1>(v, z, ti); }
  int ReadMac(std::string &o, int z, int ti) override { return ReadString<kUfiReadMac, 1>(o, z, ti); }
  int WriteSsid(int ti) override { return Plain<kUfiWriteSsid, 1>(ti); }
  int ReadSsid(std::string &o, int ti) override { return ReadString<kUfiReadSsid, 1>(o, ti); }
  int ReadIntSoftVersionUfi(char *o, int ti) override { return ReadText<kUfiReadIntSoftVersionUfi, 64, 1>(o, ti); }
  int ReadTestInfoUfi(char *o, int ti) override { return ReadText<kUfiReadTestInfoUfi, 64, 1>(o, ti); }
  int DownloadWindow(void *w) override { return SetWindow<kUfiDownloadWindow>(w); }
  int DownloadStartStop(int a, int b) override { return StartStop<kUfiDownloadStartStop>(a, b); }
  int DownloadOption(int a, int b) override { return Plain<kUfiDownloadOption, 0>(a, b); }
  int DownloadExtra(int a, int b, std::string t) override { return Plain<kUfiDownloadExtra, 0>(a, b, t); }
  int Reserved(int a, int b, int c) override { return Plain<kUfiReserved, 0>(a, b, c); }
  int ReadFlagsAt(int i, char *o, int ti) override { return ReadFlagAt<kUfiReadFlagsAt>(i, o, ti); }
  int WriteFlag(int i, const char *t, int ti) override { return Plain<kUfiWriteFlag, 0>(i, t, ti); }
  int PrepareFirst() override { return Plain<kUfiPrepareFirst, 0>(); }
  int PrepareSecond(int v) override { return Plain<kUfiPrepareSecond, 0>(v); }
#else
class Sn final : public PhoneSnObject {
public:
  int OpenPort(int a, int b, int c) override { return Plain<kPhoneOpenPort, 0>(a, b, c); }
  int ClosePort(int ti) override { return Plain<kPhoneClosePort, 0>(ti); }
  int TddTxInitCabLoss(int16_t t, int v2, int v3, int v4, int v5, int v6, int v7, int v8, int z, int ti) override {
    return Plain<kPhoneTddTxInitCabLoss, 0>(t, v2, v3, v4, v5, v6, v7, v8, z, ti);
  }
  int TddTxClose(int ti) override { return Plain<kPhoneTddTxClose, 0>(ti); }
  int FddTxInitCabLoss(int16_t t, int v2, int v3, int v4, int v5, int v6, int v7, int v8, int z, int ti) override {
    return Plain<kPhoneFddTxInitCabLoss, 0>(t, v2, v3, v4, v5, v6, v7, v8, z, ti);
  }
  int FddTxClose(int ti) override { return Plain<kPhoneFddTxClose, 0>(ti); }
  int WriteSnFirstCopy(const char *t, int e, int ti) override { return WriteText<kPhoneWriteSnFirstCopy>(t, e, ti); }
  int ReadSnFirstCopy(char *o, int e, int ti) override { return ReadText<kPhoneReadSnFirstCopy, kSnBufferSize>(o, e, ti); }
  int WriteSnSecondCopy(const char *t, int e, int ti) override { return WriteText<kPhoneWriteSnSecondCopy>(t, e, ti); }
  int ReadSnSecondCopy(char *o, int e, int ti) override { return ReadText<kPhoneReadSnSecondCopy, kSnBufferSize>(o, e, ti); }
  int WriteImeiFirstCopy(const char *t, int e, int ti) override { return WriteText<kPhoneWriteImeiFirstCopy>(t, e, ti); }
  int ReadImeiFirstCopy(char *o, int e, int ti) override { return ReadText<kPhoneReadImeiFirstCopy, kImeiBufferSize>(o, e, ti); }
  int WriteImeiSecondCopy(const char *t, int e, int ti) override { return WriteText<kPhoneWriteImeiSecondCopy>(t, e, ti); }
  int ReadImeiSecondCopy(char *o, int e, int ti) override { return ReadText<kPhoneReadImeiSecondCopy, kImeiBufferSize>(o, e, ti); }
  int WriteMsn(const char *t, int e, int ti) override { return WriteText<kPhoneWriteMsn>(t, e, ti); }
  int ReadMsn(char *o, int e, int ti) override { return ReadText<kPhoneReadMsn, 64>(o, e, ti); }
  int WritePsn(const char *t, int e, int ti) override { return WriteText<kPhoneWritePsn>(t, e, ti); }
  int ReadPsn(char *o, int e, int ti) override { return ReadText<kPhoneReadPsn, 64>(o, e, ti); }
  int ReadFlags(int n, char *o, int ti) override { return ::ReadFlags<kPhoneReadFlags>(n, o, ti); }
  int ReadIntSoftVersion(char *o, int e, int ti) override { return ReadText<kPhoneReadIntSoftVersion, 64>(o, e, ti); }
  int DownloadWindow(void *w) override { return SetWindow<kPhoneDownloadWindow>(w); }
  int DownloadStartStop(int a, int b) override { return StartStop<kPhoneDownloadStartStop>(a, b); }
  int DownloadOption(int a, int b) override { return Plain<kPhoneDownloadOption, 0>(a, b); }
  int Reserved(int a, int b, int c) override { return Plain<kPhoneReserved, 0>(a, b, c); }
  int ReadFlagsAt(int i, char *o, int ti) override { return ReadFlagAt<kPhoneReadFlagsAt>(i, o, ti); }
  int WriteFlag(int i, const char *t, int ti) override { return Plain<kPhoneWriteFlag, 0>(i, t, ti); }
#endif
  int SetModel(std::string &model) override { return Plain<kSnSetModel, 0>(model); }
  int SetPhoneType(const char *type) override { return Plain<kSnSetPhoneType, 0>(type); }
  const char *SettingsFile() override { return ::SettingsFile(); }
  void Release() override {
    SnRelease();
    delete this;
  }
};

class Root final : public RootObject {
public:
  void Release() override {
    LogUnload(FAKE_NAME " root");
    delete this;
  }
  int Initialise(int value) override {
    std::lock_guard<std::mutex> hold(g_control.lock);
    g_control.rootInitialiseValue = value;
    return 0;
  }
};

} // namespace

extern "C" __attribute__((visibility("default"))) FakeControl *FakeControlBlock() {
  return &g_control;
}

extern "C" __attribute__((visibility("default"))) void *Create(void) {
  std::lock_guard<std::mutex> hold(g_control.lock);
  ++g_control.createCalls;
  if (g_control.createReturnsNull) return nullptr;
  return static_cast<RootObject *>(new Root);
}

extern "C" __attribute__((visibility("default"))) void *LoadQRXDll(int zero) {
  Record(-1, zero); // the export itself, recorded as position -1
  std::lock_guard<std::mutex> hold(g_control.lock);
  ++g_control.loadCalls;
  if (g_control.loadReturnsNull) return nullptr;
#ifdef FAKE_UFI
  return static_cast<UfiSnObject *>(new Sn);
#else
  return static_cast<PhoneSnObject *>(new Sn);
#endif
}
