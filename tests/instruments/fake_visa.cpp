// A fake VISA for the instrument tests, written against the published VISA C interface:
// scripted "*IDN?" answers per resource, a resource list, failing functions on demand, and
// a log of every call. Built a second time without viFindNext as an incomplete VISA.
#include <qrx/calling_convention.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

using ViStatus = int32_t;
using ViSession = uint32_t;

constexpr ViStatus kSuccess = 0;
constexpr ViStatus kResourceNotFound = static_cast<ViStatus>(0xBFFF0011);
constexpr ViStatus kInvalidObject = static_cast<ViStatus>(0xBFFF000E);
constexpr ViStatus kNotSupported = static_cast<ViStatus>(0xBFFF0067);
// A real VISA's formatted-read buffer: "%t" delivers at most this much.
constexpr size_t kReadBuffer = 4096;

struct FindList {
  std::vector<std::string> found;
  size_t next = 1;
};

struct State {
  std::mutex lock;
  std::map<std::string, std::string> answers;
  std::vector<std::string> listed;
  std::map<std::string, ViStatus> failing;
  std::map<ViSession, std::string> sessions; // id -> resource ("" for a manager)
  std::map<ViSession, FindList> lists;
  ViSession next = 1;
  std::string calls;
  std::string callsCopy;
};

State &S() {
  static State state;
  return state;
}

// One call into the fake: holds the lock while it lasts, logs the call and carries the
// scripted failure of the function, if any (0 otherwise).
struct Call {
  State &s = S();
  std::lock_guard<std::mutex> hold{s.lock};
  ViStatus failure;
  Call(const std::string &function, const std::string &detail) {
    s.calls += function + (detail.empty() ? "" : " " + detail) + "\n";
    auto it = s.failing.find(function);
    failure = it == s.failing.end() ? kSuccess : it->second;
  }
};

} // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT void FakeVisaReset() {
  State &s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  s.answers.clear();
  s.listed.clear();
  s.failing.clear();
  s.sessions.clear();
  s.lists.clear();
  s.calls.clear();
}

FAKE_EXPORT void FakeVisaAnswer(const char *resource, const char *answer) {
  std::lock_guard<std::mutex> hold(S().lock);
  S().answers[resource] = answer;
}

FAKE_EXPORT void FakeVisaList(const char *description) {
  std::lock_guard<std::mutex> hold(S().lock);
  S().listed.push_back(description);
}

FAKE_EXPORT void FakeVisaFail(const char *function, int status) {
  std::lock_guard<std::mutex> hold(S().lock);
  S().failing[function] = status;
}

FAKE_EXPORT const char *FakeVisaCalls() {
  std::lock_guard<std::mutex> hold(S().lock);
  S().callsCopy = S().calls;
  return S().callsCopy.c_str();
}

FAKE_EXPORT int FakeVisaOpenSessions() {
  std::lock_guard<std::mutex> hold(S().lock);
  return static_cast<int>(S().sessions.size());
}

FAKE_EXPORT ViStatus QRX_VISA viOpenDefaultRM(ViSession *vi) {
  Call call("viOpenDefaultRM", "");
  if (call.failure) {
    if (vi) *vi = 0;
    return call.failure;
  }
  if (!vi) return kInvalidObject;
  *vi = call.s.next++;
  call.s.sessions[*vi] = "";
  return kSuccess;
}

FAKE_EXPORT ViStatus QRX_VISA viOpen(ViSession rm, const char *name, uint32_t mode, uint32_t timeout,
                            ViSession *vi) {
  const std::string resource = name ? name : "(null)";
  Call call("viOpen", resource + " " + std::to_string(mode) + " " + std::to_string(timeout));
  State &s = call.s;
  if (call.failure) return call.failure;
  auto manager = s.sessions.find(rm);
  if (manager == s.sessions.end() || !manager->second.empty() || !vi) return kInvalidObject;
  if (!s.answers.count(resource)) return kResourceNotFound;
  *vi = s.next++;
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
  State &s = call.s;
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
  call.s.lists.erase(vi);
  return call.s.sessions.erase(vi) ? kSuccess : kInvalidObject;
}

FAKE_EXPORT ViStatus QRX_VISA viFindRsrc(ViSession rm, const char *expression, ViSession *list,
                                uint32_t *count, char *description) {
  Call call("viFindRsrc", expression ? expression : "(null)");
  State &s = call.s;
  if (call.failure) return call.failure;
  if (!s.sessions.count(rm)) return kInvalidObject;
  FindList found;
  for (const auto &[resource, answer] : s.answers) found.found.push_back(resource);
  for (const auto &resource : s.listed) found.found.push_back(resource);
  if (found.found.empty()) return kResourceNotFound;
  *count = static_cast<uint32_t>(found.found.size());
  std::snprintf(description, 256, "%s", found.found[0].c_str());
  *list = s.next++;
  s.sessions[*list] = "(find list)";
  s.lists[*list] = std::move(found);
  return kSuccess;
}

#ifndef FAKE_VISA_WITHOUT_FIND_NEXT
FAKE_EXPORT ViStatus QRX_VISA viFindNext(ViSession list, char *description) {
  Call call("viFindNext", "");
  if (call.failure) return call.failure;
  auto it = call.s.lists.find(list);
  if (it == call.s.lists.end() || it->second.next >= it->second.found.size()) return kResourceNotFound;
  std::snprintf(description, 256, "%s", it->second.found[it->second.next++].c_str());
  return kSuccess;
}
#endif
