// Building CFX bodies from unit records: tests by step, measurements by item, identities as
// characteristics.
#include "cfx_messages.h"

#include "cfx_format.h"

#include <cmath>
#include <map>

namespace qrx::cfx {

namespace {

using store::UnitRecord;
using store::UnitVerdict;

Json TextOrNull(const std::string &text) { return text.empty() ? Json(nullptr) : Json(text); }
Json TimeOrNull(int64_t us) { return us ? Json(CfxFormat::DateTime(us)) : Json(nullptr); }

// The characteristic name an identity kind has on the bus; kinds not listed are not sent.
struct IdentityName {
  const char *kind;
  const char *name;       // the first value of the kind
  const char *secondName; // a second value of the same kind (dual-SIM IMEI), or null
};
constexpr IdentityName kIdentityNames[] = {
    {"sn", "Serial Number", nullptr},
    {"imei", "IMEI", "IMEI2"},
    {"mac", "MAC Address", nullptr},
    {"ssid", "SSID", nullptr},
    {"bt", "Bluetooth Address", nullptr},
};

const IdentityName *NameOf(const std::string &kind) {
  for (const IdentityName &n : kIdentityNames)
    if (kind == n.kind) return &n;
  return nullptr;
}

const char *TestResultOf(bool passed) { return passed ? "Passed" : "Failed"; }

const char *OverallResult(UnitVerdict verdict) {
  switch (verdict) {
  case UnitVerdict::Pass: return "Passed";
  case UnitVerdict::Fail: return "Failed";
  case UnitVerdict::Incomplete: break;
  }
  return "Aborted";
}

std::string RecipeName(const UnitRecord &unit) {
  const size_t slash = unit.sequenceFile.find_last_of("/\\");
  return slash == std::string::npos ? unit.sequenceFile : unit.sequenceFile.substr(slash + 1);
}

// The sequence's revision: the first 12 digits of its hash, as people compare them.
std::string RecipeRevision(const UnitRecord &unit) { return unit.sequenceHash.substr(0, 12); }

Json UnitPosition(const std::string &identifier, const char *status) {
  Json p = Json::object();
  p["UnitIdentifier"] = identifier;
  p["PositionNumber"] = 1;
  p["PositionName"] = nullptr;
  p["X"] = 0.0;
  p["Y"] = 0.0;
  p["Z"] = nullptr;
  p["Rotation"] = 0.0;
  p["FlipX"] = false;
  p["FlipY"] = false;
  p["Status"] = status;
  return p;
}

Json NumberOrNull(const std::optional<double> &n) {
  return n && std::isfinite(*n) ? Json(*n) : Json(nullptr);
}

// Tests and measurements are named after their transaction and place, so a message built again
// from the same record carries the same identifiers.
uint64_t PlaceOf(size_t test, int sequence) {
  return static_cast<uint64_t>(test + 1) << 32 | static_cast<uint32_t>(sequence);
}

Json Measurement(const store::TestItemRecord &item, int sequence, const std::string &id) {
  Json m = Json::object();
  if (item.valueNumber && std::isfinite(*item.valueNumber)) {
    m["$type"] = "CFX.Structures.NumericMeasurement, CFX";
    Json v = Json::object();
    v["Value"] = *item.valueNumber;
    v["ValueUnits"] = nullptr; // the log lines carry no units
    v["ExpectedValue"] = nullptr;
    v["ExpectedValueUnits"] = nullptr;
    v["MinimumAcceptableValue"] = NumberOrNull(item.lowerNumber);
    v["MinimumAcceptableValueUnits"] = nullptr;
    v["MaximumAcceptableValue"] = NumberOrNull(item.upperNumber);
    v["MaximumAcceptableValueUnits"] = nullptr;
    m["MeasuredValue"] = std::move(v);
  } else {
    m["$type"] = "CFX.Structures.TextMeasurement, CFX";
    m["Value"] = item.value;
    // A text item's limits: one expected text, or the range as the log line gave it.
    m["ExpectedValue"] = item.upper.empty() || item.upper == item.lower
                             ? item.lower
                             : item.lower + ".." + item.upper;
  }
  m["UniqueIdentifier"] = id;
  m["MeasurementName"] = item.name;
  m["TimeRecorded"] = TimeOrNull(item.wallUs);
  m["Sequence"] = sequence;
  m["Result"] = TestResultOf(item.passed);
  m["CRDs"] = nullptr;
  return m;
}

Json Test(const std::string &id, const std::string &name, int64_t startUs, int64_t endUs, const std::string &procedure,
          const std::string &comments, bool passed, Json measurements) {
  Json t = Json::object();
  t["UniqueIdentifier"] = id;
  t["TestName"] = name;
  t["TestStartTime"] = TimeOrNull(startUs);
  t["TestEndTime"] = TimeOrNull(endUs);
  t["TestConditions"] = Json::array();
  t["TestProcedure"] = TextOrNull(procedure);
  t["Comments"] = TextOrNull(comments);
  t["Result"] = TestResultOf(passed);
  t["Error"] = nullptr;
  t["SymptomsFound"] = Json::array();
  t["DefectsFound"] = Json::array();
  t["Measurements"] = std::move(measurements);
  return t;
}

} // namespace

Json CfxMessages::Body(const std::string &messageName) {
  Json body = Json::object();
  body["$type"] = messageName + ", CFX";
  return body;
}

Json CfxMessages::EndpointConnected(const std::string &handle,
                                    const std::optional<std::string> &requestUri,
                                    const std::optional<std::string> &requestAddress) {
  Json b = Body(names::kEndpointConnected);
  b["CFXHandle"] = handle;
  b["RequestNetworkUri"] = requestUri ? Json(*requestUri) : Json(nullptr);
  b["RequestTargetAddress"] = requestAddress ? Json(*requestAddress) : Json(nullptr);
  return b;
}

Json CfxMessages::EndpointShuttingDown(const std::string &handle) {
  Json b = Body(names::kEndpointShuttingDown);
  b["CFXHandle"] = handle;
  return b;
}

Json CfxMessages::Heartbeat(const std::string &handle, int64_t periodUs,
                            const std::vector<CfxFault> &activeFaults) {
  Json b = Body(names::kHeartbeat);
  b["CFXHandle"] = handle;
  b["HeartbeatFrequency"] = CfxFormat::TimeSpan(periodUs);
  Json faults = Json::array();
  for (const CfxFault &f : activeFaults) faults.push_back(Fault(f));
  b["ActiveFaults"] = std::move(faults);
  b["ActiveRecipes"] = nullptr;
  return b;
}

std::string CfxMessages::UnitIdentifier(const UnitRecord &unit) {
  return unit.serialNumber.empty() ? unit.unitId : unit.serialNumber;
}

Json CfxMessages::WorkStarted(const UnitRecord &header, const std::string &transactionId) {
  Json b = Body(names::kWorkStarted);
  b["PrimaryIdentifier"] = UnitIdentifier(header);
  b["HermesIdentifier"] = nullptr;
  b["TransactionID"] = transactionId;
  b["Lane"] = nullptr;
  b["UnitCount"] = 1;
  b["Units"] = Json::array({UnitPosition(UnitIdentifier(header), "Pass")});
  b["RecipeName"] = TextOrNull(RecipeName(header));
  b["Revision"] = TextOrNull(RecipeRevision(header));
  b["RelevantSurface"] = "Unspecified";
  b["WorkOrderIdentifier"] = nullptr;
  return b;
}

Json CfxMessages::WorkCompleted(const UnitRecord &unit, const std::string &transactionId,
                                const std::optional<std::string> &primaryIdentifier) {
  Json b = Body(names::kWorkCompleted);
  b["TransactionID"] = transactionId;
  b["Result"] = unit.verdict == UnitVerdict::Pass   ? "Completed"
                : unit.verdict == UnitVerdict::Fail ? "Failed"
                                                    : "Aborted";
  b["PrimaryIdentifier"] = primaryIdentifier ? Json(*primaryIdentifier) : Json(nullptr);
  b["HermesIdentifier"] = nullptr;
  b["UnitCount"] = 1;
  b["Units"] = Json::array(
      {UnitPosition(UnitIdentifier(unit), unit.verdict == UnitVerdict::Pass ? "Pass" : "Fail")});
  b["PerformanceImpacts"] = nullptr;
  return b;
}

Json CfxMessages::UnitsTested(const UnitRecord &unit, const std::string &transactionId) {
  std::vector<Json> perStep(unit.steps.size(), Json::array());
  Json outside = Json::array();
  for (const store::TestItemRecord &item : unit.items) {
    const bool inStep = item.stepIndex >= 0 && static_cast<size_t>(item.stepIndex) < perStep.size();
    const size_t test = inStep ? static_cast<size_t>(item.stepIndex) : perStep.size();
    Json &list = inStep ? perStep[test] : outside;
    const int sequence = static_cast<int>(list.size()) + 1;
    list.push_back(Measurement(item, sequence, CfxFormat::GuidFrom(transactionId, PlaceOf(test, sequence))));
  }
  Json tests = Json::array();
  for (size_t i = 0; i < unit.steps.size(); ++i) {
    const store::StepRecord &step = unit.steps[i];
    const bool first = static_cast<int>(i) == unit.firstFailingStep;
    tests.push_back(Test(CfxFormat::GuidFrom(transactionId, PlaceOf(i, 0)), step.exportName, step.startedUs,
                         step.startedUs ? step.startedUs + step.durationUs : 0,
                         step.exportName + "(" + step.arguments + ")",
                         first ? unit.failureReason : "", step.passed, std::move(perStep[i])));
  }
  if (!outside.empty()) {
    bool passed = true;
    for (const Json &m : outside) passed = passed && m["Result"] == "Passed";
    tests.push_back(Test(CfxFormat::GuidFrom(transactionId, PlaceOf(unit.steps.size(), 0)), "Items outside steps", 0, 0, "", "", passed, std::move(outside)));
  }
  Json tested = Json::object();
  tested["UnitIdentifier"] = UnitIdentifier(unit);
  tested["UnitPositionNumber"] = 1;
  tested["OverallResult"] = OverallResult(unit.verdict);
  tested["Tests"] = std::move(tests);

  Json b = Body(names::kUnitsTested);
  b["TransactionId"] = transactionId;
  b["TestMethod"] = "FCT";
  b["Tester"] = nullptr; // the operator is not known to the station
  b["RecipeName"] = TextOrNull(RecipeName(unit));
  b["RecipeRevision"] = TextOrNull(RecipeRevision(unit));
  Json sampling = Json::object();
  sampling["SamplingMethod"] = "NoSampling";
  sampling["LotSize"] = nullptr;
  sampling["SampleSize"] = nullptr;
  b["SamplingInformation"] = std::move(sampling);
  b["TestedUnits"] = Json::array({std::move(tested)});
  return b;
}

std::optional<Json> CfxMessages::UnitsPersonalized(const UnitRecord &unit,
                                                   const std::string &transactionId) {
  Json characteristics = Json::array();
  std::map<std::string, std::vector<std::string>> seen; // kind -> values already sent
  for (const store::IdentityRecord &identity : unit.identities) {
    const IdentityName *name = NameOf(identity.kind);
    if (!name || identity.action != "written" || identity.result != 0 || identity.value.empty())
      continue;
    std::vector<std::string> &values = seen[identity.kind];
    bool repeat = false;
    for (const std::string &v : values) repeat = repeat || v == identity.value;
    if (repeat) continue;
    if (values.size() == 1 && !name->secondName) continue; // a rewrite: the first one stands
    if (values.size() >= 2) continue;
    Json c = Json::object();
    c["Name"] = values.empty() ? name->name : name->secondName;
    c["Value"] = identity.value;
    characteristics.push_back(std::move(c));
    values.push_back(identity.value);
  }
  if (characteristics.empty()) return std::nullopt;
  Json unitJson = Json::object();
  unitJson["UnitIdentifier"] = UnitIdentifier(unit);
  unitJson["UnitPositionNumber"] = 1;
  unitJson["Characteristics"] = std::move(characteristics);
  Json b = Body(names::kUnitsPersonalized);
  b["TransactionId"] = transactionId;
  b["PersonalizedUnits"] = Json::array({std::move(unitJson)});
  return b;
}

Json CfxMessages::StationStateChanged(int oldState, std::optional<int64_t> oldStateDurationUs,
                                      int newState, const CfxFault *relatedFault) {
  Json b = Body(names::kStationStateChanged);
  b["OldState"] = std::to_string(oldState);
  b["OldStateDuration"] =
      oldStateDurationUs ? Json(CfxFormat::TimeSpan(*oldStateDurationUs)) : Json(nullptr);
  b["NewState"] = std::to_string(newState);
  b["RelatedFault"] = relatedFault ? Fault(*relatedFault) : Json(nullptr);
  return b;
}

Json CfxMessages::Fault(const CfxFault &fault) {
  Json f = Json::object();
  f["TransactionID"] = fault.transactionId ? Json(*fault.transactionId) : Json(nullptr);
  f["Cause"] = fault.cause;
  f["Severity"] = fault.severity;
  f["FaultCode"] = fault.faultCode;
  f["FaultOccurrenceId"] = fault.occurrenceId;
  f["Lane"] = nullptr;
  f["Stage"] = nullptr;
  f["SideLocation"] = "Unknown";
  f["AccessType"] = "Unknown";
  // Receivers take at most 1024 characters; the cut never splits a UTF-8 sequence.
  std::string text = fault.description;
  if (text.size() > 1024) {
    size_t cut = 1024;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
  }
  f["Description"] = TextOrNull(text);
  f["DescriptionTranslations"] = Json::object();
  f["OccurredAt"] = CfxFormat::DateTime(fault.occurredUs ? fault.occurredUs : CfxFormat::NowMicros());
  f["DueDateTime"] = nullptr;
  return f;
}

Json CfxMessages::FaultOccurred(const CfxFault &fault) {
  Json b = Body(names::kFaultOccurred);
  b["Fault"] = Fault(fault);
  return b;
}

Json CfxMessages::FaultCleared(const std::string &occurrenceId) {
  Json b = Body(names::kFaultCleared);
  b["FaultOccurrenceId"] = occurrenceId;
  b["Operator"] = nullptr;
  return b;
}

Json CfxMessages::ValidateUnitsRequest(const std::string &serialNumber) {
  Json b = Body(names::kValidateUnitsRequest);
  b["Validations"] = Json::array({"UnitRouteValidation", "UnitStatusValidation"});
  b["PrimaryIdentifier"] = serialNumber;
  b["HermesIdentifier"] = nullptr;
  b["Units"] = Json::array({UnitPosition(serialNumber, "Pass")});
  b["Lane"] = nullptr;
  return b;
}

} // namespace qrx::cfx
