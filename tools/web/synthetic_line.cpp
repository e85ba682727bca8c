// Synthetic line: a fixed sequence of steps whose items are normal noise around their means.
#include "synthetic_line.h"

#include <cstdio>

namespace qrx::web {

using namespace qrx::store;

std::string FormatValue(double value) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.2f", value);
  return buf;
}

SyntheticLine::SyntheticLine(uint64_t seed) : random_(seed) {}

const std::vector<SyntheticStep> &SyntheticLine::Steps() {
  // Wide enough that most units pass, narrow enough that some items run close to a limit.
  static const std::vector<SyntheticStep> steps = {
      {"GSM_NST_MeasPower", "1, 62, 5", {{"TxPower", 32.6, 0.5, 31.0, 34.0}}},
      {"GSM_NST_FreqErr", "1, 62", {{"FreqError", 12.0, 8.0, -40.0, 40.0}}},
      {"LteTest_MaxPwrAll_LTEFT", "3, 1300", {{"MaxPower", 23.2, 0.4, 22.0, 25.0}, {"EVM", 3.5, 1.1, 0.0, 6.5}}},
      {"LteTest_Sensitivity_LTEFT", "3, 1300", {{"BER", 0.45, 0.2, 0.0, 1.5}}},
      {"WriteIMEI_GSMFT", "", {}},
      {"WiFi_TxMeas_Result_Ufi", "6", {{"WiFiTxPower", 16.0, 0.6, 14.0, 18.0}}},
  };
  return steps;
}

std::string SyntheticLine::UnitId(std::mt19937_64 &random) {
  uint64_t a = random(), b = random();
  a = (a & 0xFFFFFFFFFFFF0FFFULL) | 0x0000000000004000ULL;
  b = (b & 0x3FFFFFFFFFFFFFFFULL) | 0x8000000000000000ULL;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%08llx-%04llx-%04llx-%04llx-%012llx", (unsigned long long)(a >> 32),
                (unsigned long long)((a >> 16) & 0xFFFF), (unsigned long long)(a & 0xFFFF),
                (unsigned long long)(b >> 48), (unsigned long long)(b & 0xFFFFFFFFFFFFULL));
  return buf;
}

double SyntheticLine::Draw(const SyntheticItem &item) {
  std::normal_distribution<double> noise(item.mean, item.sd);
  // Values are logged with two decimals: the record holds what was logged.
  return std::stod(FormatValue(noise(random_)));
}

UnitRecord SyntheticLine::Test(const std::string &serial, int station, int64_t startedUs) {
  UnitRecord u;
  u.unitId = UnitId(random_);
  u.serialNumber = serial;
  u.productType = station % 2 ? "QRX" : "UFI";
  u.businessConfig = u.productType == "QRX" ? "QRX_FT.xml" : "UFI_FT.xml";
  u.stationIndex = station;
  u.threadIndex = station - 1;
  u.hostName = "line-pc-1";
  u.sequenceFile = "final_test.seq";
  u.sequenceHash = "3f2a9c";
  u.startedUs = startedUs;
  int64_t t = startedUs;
  u.verdict = UnitVerdict::Pass;
  for (const auto &step : Steps()) {
    StepRecord s;
    s.index = int(u.steps.size());
    s.exportName = step.exportName;
    s.arguments = step.arguments;
    s.startedUs = t;
    s.passed = true;
    for (const auto &item : step.items) {
      TestItemRecord r;
      r.stepIndex = s.index;
      r.source = "TestDll";
      r.name = item.name;
      double v = Draw(item);
      r.value = FormatValue(v);
      r.lower = FormatValue(item.lower);
      r.upper = FormatValue(item.upper);
      r.valueNumber = v;
      r.lowerNumber = item.lower;
      r.upperNumber = item.upper;
      r.passed = v >= item.lower && v <= item.upper;
      r.verdict = r.passed ? "PASS" : "FAIL";
      r.wallUs = t + 1000;
      u.items.push_back(r);
      if (!r.passed) s.passed = false;
    }
    if (std::string(step.exportName) == "WriteIMEI_GSMFT") {
      IdentityRecord id;
      id.stepIndex = s.index;
      id.kind = "imei";
      id.value = "35" + std::to_string(100000000000ULL + random_() % 900000000000ULL) + "0";
      id.action = "written";
      id.fromPool = true;
      id.wallUs = t;
      u.identities.push_back(id);
    }
    s.result = s.passed ? 0 : 2;
    s.durationUs = 200000 + int64_t(random_() % 300000);
    t += s.durationUs;
    u.steps.push_back(s);
    if (!s.passed) {
      u.verdict = UnitVerdict::Fail;
      u.firstFailingStep = s.index;
      u.failureReason = s.exportName + " returned 2: a test item was out of its limits";
      break;
    }
  }
  u.endedUs = t;
  return u;
}

std::vector<UnitRecord> SyntheticLine::History(size_t n, int stations, int64_t startUs) {
  std::vector<UnitRecord> units;
  int64_t t = startUs;
  for (size_t i = 0; i < n; ++i) {
    int station = int(i % size_t(stations)) + 1;
    char serial[32];
    std::snprintf(serial, sizeof serial, "QRX%07zu", i + 1);
    UnitRecord u = Test(serial, station, t);
    if (random_() % 97 == 0) { // a station that died mid-unit
      u.verdict = UnitVerdict::Incomplete;
      u.endedUs = 0;
    }
    bool failed = u.verdict == UnitVerdict::Fail;
    units.push_back(std::move(u));
    if (failed) units.push_back(Test(serial, (station % stations) + 1, t + 3600000000LL / 4));
    t += 45000000; // a unit every 45 s on the line
  }
  return units;
}

} // namespace qrx::web
