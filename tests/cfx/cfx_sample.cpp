#include "cfx_sample.h"

#include "cfx_format.h"

namespace qrx::testing {

store::UnitRecord SampleUnit(const std::string &serial, int threadIndex, int items) {
  store::UnitRecord u;
  u.unitId = cfx::CfxFormat::NewGuid();
  u.serialNumber = serial;
  u.threadIndex = threadIndex;
  u.sequenceFile = "/line/phone_line.seq";
  u.sequenceHash = "0123456789abcdef0123";
  u.startedUs = 1776686580000000;
  u.endedUs = u.startedUs + 27512000;
  u.verdict = store::UnitVerdict::Fail;
  u.firstFailingStep = 1;
  u.failureReason = "phone_line.seq:7 STANDBY_CURRENT -> 3: out of limits";
  u.steps = {{0, "BATTERY_CHARGE", "1, 62, 5", 0, true, u.startedUs, 12300000},
             {1, "STANDBY_CURRENT", "", 3, false, u.startedUs + 12400000, 17000000}};
  for (int i = 0; i < items; ++i) {
    store::TestItemRecord item;
    item.stepIndex = i % 2;
    item.name = "VBAT_" + std::to_string(i);
    item.value = "3.92";
    item.valueNumber = 28300.0 + i;
    item.lowerNumber = 3.7;
    item.upperNumber = i == 1 ? std::nullopt : std::optional<double>(4.2);
    item.passed = i % 2 == 0;
    item.wallUs = u.startedUs + 1000 * i;
    u.items.push_back(item);
  }
  store::TestItemRecord text;
  text.stepIndex = -1;
  text.name = "FW_VERSION";
  text.value = "V1.2";
  text.lower = "V1.2";
  text.passed = true;
  u.items.push_back(text);
  u.identities = {{0, "sn", serial, "written", 0, false, 0},
                  {0, "imei", "356938035643809", "written", 0, true, 0},
                  {0, "imei", "356938035643817", "written", 0, true, 0},
                  {0, "mac", "3C-5A-B4-01-23-45", "written", 0, true, 0},
                  {0, "mac", "3C-5A-B4-01-23-45", "read", 0, false, 0},
                  {0, "ssid", "UFI-9", "written", 1, false, 0}};
  return u;
}

} // namespace qrx::testing
