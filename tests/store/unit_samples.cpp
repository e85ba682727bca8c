// Sample unit records.
#include "unit_samples.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <random>

#include <unistd.h>

namespace qrx::testing {

std::string NewUnitId() {
  static std::mutex mutex;
  static std::mt19937_64 random;
  static pid_t seededIn = 0;
  uint64_t a, b;
  {
    std::lock_guard lock(mutex);
    // Reseeded in a forked child, which would otherwise repeat its parent's ids.
    if (seededIn != getpid()) {
      seededIn = getpid();
      random.seed(std::random_device{}() ^ (uint64_t(getpid()) << 32));
    }
    a = random();
    b = random();
  }
  a = (a & ~0xF000ull) | 0x4000ull;                 // version 4
  b = (b & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull; // variant 10
  char text[40];
  std::snprintf(text, sizeof text, "%08x-%04x-%04x-%04x-%012llx", unsigned(a >> 32),
                unsigned((a >> 16) & 0xFFFF), unsigned(a & 0xFFFF), unsigned(b >> 48),
                static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
  return text;
}

int64_t WallNowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

store::UnitRecord SampleUnit(const std::string &unitId, int station, int items) {
  store::UnitRecord u;
  u.unitId = unitId;
  u.serialNumber = "SN" + unitId.substr(0, 8);
  u.productType = station % 2 ? "QRX" : "UFI";
  u.businessConfig = "Line1_Station.xml";
  u.stationIndex = station;
  u.threadIndex = station - 1;
  u.hostName = "line1-pc3";
  u.sequenceFile = "sequences/final test \"GSM\".seq";
  u.sequenceHash = std::string(64, 'a');
  u.startedUs = WallNowUs();
  u.endedUs = u.startedUs + 4500000;
  u.verdict = store::UnitVerdict::Fail;
  u.firstFailingStep = 7;
  u.failureReason = "GSM_NST_MeasPower returned 3: power 33,1 dBm above 33,0";
  for (int s = 0; s < 10; ++s)
    u.steps.push_back({s, "GSM_NST_MeasPower", "1, 62, " + std::to_string(s), s == 7 ? 3 : 0,
                       s != 7, u.startedUs + s * 1000, 900 + s});
  for (int i = 0; i < items; ++i) {
    store::TestItemRecord t;
    t.stepIndex = i % 10;
    t.source = "TestDllQRXCal";
    t.name = "Power ch" + std::to_string(i) + " \xE5\x8A\x9F\xE7\x8E\x87"; // UTF-8 text
    t.value = std::to_string(20 + i % 7) + ".25";
    t.lower = i % 5 ? "19.5" : "NA";
    t.upper = "33";
    t.valueNumber = 20.25 + i % 7;
    if (i % 5)
      t.lowerNumber = 19.5;
    t.upperNumber = 33.0;
    t.verdict = i == 3 ? "FAIL" : "PASS";
    t.passed = i != 3;
    t.tag = "it's";
    t.monotonicNs = 1000000000LL + i;
    t.wallUs = u.startedUs + i;
    u.items.push_back(std::move(t));
  }
  u.identities.push_back({2, "imei", "352099001761481", "written", 0, true, u.startedUs + 5});
  u.identities.push_back({3, "imei", "352099001761481", "read", 0, false, u.startedUs + 6});
  u.downloads.push_back({1, "/images/fw 1.2.bin", true, "download finished", 3200000});
  return u;
}

store::UnitRecord HeaderOf(const store::UnitRecord &unit) {
  store::UnitRecord h = unit;
  h.endedUs = 0;
  h.verdict = store::UnitVerdict::Incomplete;
  h.firstFailingStep = -1;
  h.failureReason.clear();
  h.steps.clear();
  h.items.clear();
  h.identities.clear();
  h.downloads.clear();
  return h;
}

} // namespace qrx::testing
