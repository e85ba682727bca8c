// A fake VISA and instrument library in one, written against the published VISA C interface
// and the public instrument header: scripted "*IDN?" answers per resource, a resource list,
// failing functions on demand, a log of every call, and instruments whose results keep each
// argument visible. Built a second time without viFindNext and GetQRXCalInstrInterface, as an
// incomplete VISA and a library missing its entry.
#include "fake_instruments.h"

#include <qrx/calling_convention.h>
#include <qrx/instrument_library.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

using ViStatus = int32_t;
using ViSession = uint32_t;

constexpr ViStatus kSuccess = 0;
constexpr ViStatus kResourceNotFound = static_cast<ViStatus>(0xBFFF0011);
constexpr ViStatus kInvalidObject = static_cast<ViStatus>(0xBFFF000E);
constexpr ViStatus kNotSupported = static_cast<ViStatus>(0xBFFF0067);
// A real VISA's formatted-read buffer: "%t" delivers at most this much.
constexpr size_t kReadBuffer = 4096;

std::mutex g_lock;
FakeVisaControl g_visa;
FakeInstrumentControl g_instrument;
struct FindList {
  std::vector<std::string> found;
  size_t next = 1;
};
std::map<ViSession, FindList> g_lists;
ViSession g_next = 1;

// One call into the fake VISA: holds the lock while it lasts, logs the call and carries the
// scripted failure of the function, if any (0 otherwise).
struct Call {
  FakeVisaControl &s = g_visa;
  std::lock_guard<std::mutex> hold{g_lock};
  ViStatus failure;
  Call(const std::string &function, const std::string &detail) {
    s.calls += function + (detail.empty() ? "" : " " + detail) + "\n";
    auto it = s.failing.find(function);
    failure = it == s.failing.end() ? kSuccess : it->second;
  }
};

// Results that keep each argument visible, so order and sign can be checked.
class Instrument final : public qrx::instrument::InstrumentObject {
public:
  int32_t UnloadStatus() override {
    g_instrument.calls += "status\n";
    return g_instrument.status;
  }
  int32_t Call1(int32_t a, int32_t b, int32_t c) override { return a * 10000 + b * 100 + c; }
  int32_t Call2(int32_t a, int32_t b, int32_t c) override { return -(a * 10000 + b * 100 + c); }
  int32_t Call3(int32_t a, int32_t b) override { return a * 100 + b; }
};

} // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT FakeVisaControl *FakeVisaControlBlock() { return &g_visa; }
FAKE_EXPORT FakeInstrumentControl *FakeInstrumentControlBlock() { return &g_instrument; }

FAKE_EXPORT ViStatus QRX_VISA viOpenDefaultRM(ViSession *vi) {
  Call call("viOpenDefaultRM", "");
  if (call.failure) {
    if (vi) *vi = 0;
    return call.failure;
  }
  if (!vi) return kInvalidObject;
  *vi = g_next++;
  call.s.sessions[*vi] = "";
  return kSuccess;
}

FAKE_EXPORT ViStatus QRX_VISA viOpen(ViSession rm, const char *name, uint32_t mode, uint32_t timeout,
                            ViSession *vi) {
  const std::string resource = name ? name : "(null)";
  Call call("viOpen", resource + " " + std::to_string(mode) + " " + std::to_string(timeout));
  FakeVisaControl &s = call.s;
  if (call.failure) return call.failure;
  auto manager = s.sessions.find(rm);
  if (manager == s.sessions.end() || !manager->second.empty() || !vi) return kInvalidObject;
  if (!s.answers.count(resource)) return kResourceNotFound;
  *vi = g_next++;
  s.sessions[*vi] = resource;
  return kSuccess;
}

FAKE_EXPORT ViStatus QRX_VISA viClear(ViSession vi) {
  Call call("viClear", "");
  if (call.failure) return call.failure;
  return call.s.sessions.count(vi) ? kSuccess : kInvalidObject;
}

FAKE_EXPORT ViStatus viQueryf(ViSession vi, const char *writeFormat, const char *readFormat,
                              ...) {
  Call call("viQueryf", std::string(writeFormat ? writeFormat : "(null)") + " " +
                           (readFormat ? readFormat : "(null)"));
  FakeVisaControl &s = call.s;
  if (call.failure) return call.failure;
  auto it = s.sessions.find(vi);
  if (it == s.sessions.end() || it->second.empty()) return kInvalidObject;
  if (!writeFormat || std::strcmp(writeFormat, "*IDN?\n") != 0 || !readFormat ||
      std::strcmp(readFormat, "%t") != 0)
    return kNotSupported;
  va_list args;
  va_start(args, readFormat);
  char *out = va_arg(args, char *);
  va_end(args);
  std::snprintf(out, kReadBuffer, "%s\n", s.answers[it->second].c_str());
  return kSuccess;
}

FAKE_EXPORT ViStatus QRX_VISA viClose(ViSession vi) {
  Call call("viClose", std::to_string(vi));
  if (call.failure) return call.failure;
  g_lists.erase(vi);
  return call.s.sessions.erase(vi) ? kSuccess : kInvalidObject;
}

FAKE_EXPORT ViStatus QRX_VISA viFindRsrc(ViSession rm, const char *expression, ViSession *list,
                                uint32_t *count, char *description) {
  Call call("viFindRsrc", expression ? expression : "(null)");
  FakeVisaControl &s = call.s;
  if (call.failure) return call.failure;
  if (!s.sessions.count(rm)) return kInvalidObject;
  FindList found;
  for (const auto &[resource, answer] : s.answers) found.found.push_back(resource);
  for (const auto &resource : s.listed) found.found.push_back(resource);
  if (found.found.empty()) return kResourceNotFound;
  *count = static_cast<uint32_t>(found.found.size());
  std::snprintf(description, 256, "%s", found.found[0].c_str());
  *list = g_next++;
  s.sessions[*list] = "(find list)";
  g_lists[*list] = std::move(found);
  return kSuccess;
}

FAKE_EXPORT void ReleaseInstrument(void *instrument) {
  g_instrument.calls += "release\n";
  --g_instrument.live;
  delete static_cast<Instrument *>(static_cast<qrx::instrument::InstrumentObject *>(instrument));
}

#ifndef FAKE_INCOMPLETE
FAKE_EXPORT ViStatus QRX_VISA viFindNext(ViSession list, char *description) {
  Call call("viFindNext", "");
  if (call.failure) return call.failure;
  auto it = g_lists.find(list);
  if (it == g_lists.end() || it->second.next >= it->second.found.size()) return kResourceNotFound;
  std::snprintf(description, 256, "%s", it->second.found[it->second.next++].c_str());
  return kSuccess;
}

FAKE_EXPORT void *GetQRXCalInstrInterface(int typeCode) {
  g_instrument.lastTypeCode = typeCode;
  ++g_instrument.live;
  return static_cast<qrx::instrument::InstrumentObject *>(new Instrument);
}
#endif
