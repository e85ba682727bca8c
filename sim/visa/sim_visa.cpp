// Simulated VISA (libvisa.so): answers "*IDN?" at GPIB addresses as the testers configured in
// SimVisa.conf ($QRX_SIM_VISA_CONFIG overrides the path). Lines are "resource = answer";
// "*" matches every GPIB resource, and "list = name" adds a resource to viFindRsrc.
#include <qrx/calling_convention.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

using ViStatus = int32_t;
using ViSession = uint32_t;

constexpr ViStatus kSuccess = 0;
constexpr ViStatus kErrorResourceNotFound = static_cast<ViStatus>(0xBFFF0011);
constexpr ViStatus kErrorInvalidObject = static_cast<ViStatus>(0xBFFF000E);
constexpr ViStatus kErrorNotSupported = static_cast<ViStatus>(0xBFFF0067);

struct Config {
  std::map<std::string, std::string> answers;
  std::vector<std::string> listed;
};

std::string Trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

Config LoadConfig() {
  Config config;
  const char *path = std::getenv("QRX_SIM_VISA_CONFIG");
  std::ifstream in(path && *path ? path : "SimVisa.conf");
  std::string line;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
    if (key == "list")
      config.listed.push_back(value);
    else
      config.answers[key] = value;
  }
  return config;
}

struct Session {
  bool manager = false;
  std::string resource;
  std::string answer;
  std::vector<std::string> found;
  size_t next = 0;
};

std::mutex g_lock;
std::map<ViSession, Session> g_sessions;
ViSession g_next = 1;

ViSession NewSession(Session s) {
  std::lock_guard<std::mutex> hold(g_lock);
  ViSession id = g_next++;
  g_sessions[id] = std::move(s);
  return id;
}

void CopyDescription(const std::string &text, char *out) {
  // VISA descriptions fit a 256-byte buffer.
  if (!out) return;
  std::snprintf(out, 256, "%s", text.c_str());
}

} // namespace

#define VISA_EXPORT extern "C" __attribute__((visibility("default")))

VISA_EXPORT ViStatus QRX_VISA viOpenDefaultRM(ViSession *vi) {
  if (!vi) return kErrorInvalidObject;
  Session s;
  s.manager = true;
  *vi = NewSession(std::move(s));
  return kSuccess;
}

VISA_EXPORT ViStatus QRX_VISA viOpen(ViSession rm, const char *name, uint32_t, uint32_t, ViSession *vi) {
  if (!name || !vi) return kErrorInvalidObject;
  {
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = g_sessions.find(rm);
    if (it == g_sessions.end() || !it->second.manager) return kErrorInvalidObject;
  }
  Config config = LoadConfig();
  std::string resource = name;
  auto it = config.answers.find(resource);
  if (it == config.answers.end() && resource.rfind("GPIB", 0) == 0) it = config.answers.find("*");
  if (it == config.answers.end()) return kErrorResourceNotFound;
  Session s;
  s.resource = resource;
  s.answer = it->second;
  *vi = NewSession(std::move(s));
  return kSuccess;
}

VISA_EXPORT ViStatus QRX_VISA viClear(ViSession vi) {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_sessions.count(vi) ? kSuccess : kErrorInvalidObject;
}

// Only the identification query is understood; its answer is read with "%t".
VISA_EXPORT ViStatus viQueryf(ViSession vi, const char *writeFormat, const char *readFormat, ...) {
  std::string answer;
  {
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = g_sessions.find(vi);
    if (it == g_sessions.end() || it->second.manager) return kErrorInvalidObject;
    answer = it->second.answer;
  }
  if (!writeFormat || std::strncmp(writeFormat, "*IDN?", 5) != 0 || !readFormat ||
      std::strcmp(readFormat, "%t") != 0)
    return kErrorNotSupported;
  va_list args;
  va_start(args, readFormat);
  char *out = va_arg(args, char *);
  va_end(args);
  if (!out) return kErrorInvalidObject;
  // The caller's buffer holds 260 bytes; answer and line end stay well inside it.
  std::snprintf(out, 256, "%s\n", answer.c_str());
  return kSuccess;
}

VISA_EXPORT ViStatus QRX_VISA viClose(ViSession vi) {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_sessions.erase(vi) ? kSuccess : kErrorInvalidObject;
}

VISA_EXPORT ViStatus QRX_VISA viFindRsrc(ViSession rm, const char *, ViSession *list, uint32_t *count,
                                char *description) {
  Config config = LoadConfig();
  Session s;
  for (const auto &[resource, answer] : config.answers)
    if (resource != "*") s.found.push_back(resource);
  for (const auto &resource : config.listed) s.found.push_back(resource);
  {
    std::lock_guard<std::mutex> hold(g_lock);
    if (!g_sessions.count(rm)) return kErrorInvalidObject;
  }
  if (count) *count = static_cast<uint32_t>(s.found.size());
  if (s.found.empty()) return kErrorResourceNotFound;
  CopyDescription(s.found[0], description);
  s.next = 1;
  if (list) *list = NewSession(std::move(s));
  return kSuccess;
}

VISA_EXPORT ViStatus QRX_VISA viFindNext(ViSession list, char *description) {
  std::lock_guard<std::mutex> hold(g_lock);
  auto it = g_sessions.find(list);
  if (it == g_sessions.end() || it->second.next >= it->second.found.size())
    return kErrorResourceNotFound;
  CopyDescription(it->second.found[it->second.next++], description);
  return kSuccess;
}
