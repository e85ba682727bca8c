// Building CFX bodies from unit records: tests by step, measurements by item, identities as
// characteristics.
#include "cfx_messages.h"

#include "cfx_format.h"
#include "cfx_json_writer.h"

#include <cmath>
#include <map>

namespace qrx::cfx {

namespace {

using store::UnitRecord;
using store::UnitVerdict;

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

std::string_view RecipeName(const UnitRecord &unit) {
  const std::string_view file = unit.sequenceFile;
  const size_t slash = file.find_last_of("/\\");
  return slash == std::string::npos ? file : file.substr(slash + 1);
}

// The sequence's revision: the first 12 digits of its hash, as people compare them.
std::string_view RecipeRevision(const UnitRecord &unit) {
  return std::string_view(unit.sequenceHash).substr(0, 12);
}

// A body's writer, the body begun with its "$type".
CfxJsonWriter Begin(std::string *out, const char *messageName) {
  CfxJsonWriter w(out);
  w.BeginObject().Text("$type", CfxMessages::TypeOf(messageName));
  return w;
}

void UnitPosition(CfxJsonWriter &w, const std::string &identifier, const char *status) {
  w.BeginObject()
      .Text("UnitIdentifier", identifier)
      .Integer("PositionNumber", 1)
      .Null("PositionName")
      .Number("X", 0.0)
      .Number("Y", 0.0)
      .Null("Z")
      .Number("Rotation", 0.0)
      .Bool("FlipX", false)
      .Bool("FlipY", false)
      .Text("Status", status)
      .EndObject();
}

std::optional<double> Finite(const std::optional<double> &n) {
  return n && std::isfinite(*n) ? n : std::nullopt;
}

// Tests and measurements are named after their transaction and place, so a message built again
// from the same record carries the same identifiers.
uint64_t PlaceOf(size_t test, int sequence) {
  return static_cast<uint64_t>(test + 1) << 32 | static_cast<uint32_t>(sequence);
}

// The GUID is written in place between its quotes: a unit has hundreds.
void Identifier(CfxJsonWriter &w, std::string *out, const std::string &transactionId, uint64_t place) {
  w.Key("UniqueIdentifier").Raw("\"");
  CfxFormat::AppendGuidFrom(out, transactionId, place);
  out->push_back('"');
}

void Measurement(CfxJsonWriter &w, std::string *out, const store::TestItemRecord &item, int sequence,
                 const std::string &transactionId, uint64_t place) {
  w.BeginObject();
  if (item.valueNumber && std::isfinite(*item.valueNumber)) {
    w.Text("$type", "CFX.Structures.NumericMeasurement, CFX")
        .Key("MeasuredValue")
        .BeginObject()
        .Number("Value", *item.valueNumber)
        .Null("ValueUnits") // the log lines carry no units
        .Null("ExpectedValue")
        .Null("ExpectedValueUnits")
        .NumberOrNull("MinimumAcceptableValue", Finite(item.lowerNumber))
        .Null("MinimumAcceptableValueUnits")
        .NumberOrNull("MaximumAcceptableValue", Finite(item.upperNumber))
        .Null("MaximumAcceptableValueUnits")
        .EndObject();
  } else {
    w.Text("$type", "CFX.Structures.TextMeasurement, CFX").Text("Value", item.value);
    // A text item's limits: one expected text, or the range as the log line gave it.
    if (item.upper.empty() || item.upper == item.lower) w.Text("ExpectedValue", item.lower);
    else w.Text("ExpectedValue", item.lower + ".." + item.upper);
  }
  Identifier(w, out, transactionId, place);
  w.Text("MeasurementName", item.name)
      .DateTimeOrNull("TimeRecorded", item.wallUs)
      .Integer("Sequence", sequence)
      .Text("Result", TestResultOf(item.passed))
      .Null("CRDs")
      .EndObject();
}

// A test up to its measurements; the caller writes them and ends the test with EndTest.
void BeginTest(CfxJsonWriter &w, std::string *out, const std::string &transactionId, size_t test,
               std::string_view name, int64_t startUs, int64_t endUs, std::string_view procedure,
               std::string_view comments, bool passed) {
  w.BeginObject();
  Identifier(w, out, transactionId, PlaceOf(test, 0));
  w.Text("TestName", name)
      .DateTimeOrNull("TestStartTime", startUs)
      .DateTimeOrNull("TestEndTime", endUs)
      .Key("TestConditions").BeginArray().EndArray()
      .TextOrNull("TestProcedure", procedure)
      .TextOrNull("Comments", comments)
      .Text("Result", TestResultOf(passed))
      .Null("Error")
      .Key("SymptomsFound").BeginArray().EndArray()
      .Key("DefectsFound").BeginArray().EndArray()
      .Key("Measurements").BeginArray();
}

void EndTest(CfxJsonWriter &w) { w.EndArray().EndObject(); }

void Fault(CfxJsonWriter &w, const CfxFault &fault) {
  // Receivers take at most 1024 characters; the cut never splits a UTF-8 sequence.
  std::string_view text = fault.description;
  if (text.size() > 1024) {
    size_t cut = 1024;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text = text.substr(0, cut);
  }
  w.BeginObject()
      .TextOrNull("TransactionID", fault.transactionId)
      .Text("Cause", fault.cause)
      .Text("Severity", fault.severity)
      .Text("FaultCode", fault.faultCode)
      .Text("FaultOccurrenceId", fault.occurrenceId)
      .Null("Lane")
      .Null("Stage")
      .Text("SideLocation", "Unknown")
      .Text("AccessType", "Unknown")
      .TextOrNull("Description", text)
      .Key("DescriptionTranslations").BeginObject().EndObject()
      .Key("OccurredAt").DateTime(fault.occurredUs ? fault.occurredUs : CfxFormat::NowMicros())
      .Null("DueDateTime")
      .EndObject();
}

} // namespace

std::string CfxMessages::TypeOf(const std::string &messageName) { return messageName + ", CFX"; }

std::string CfxMessages::EndpointConnected(const std::string &handle,
                                           const std::optional<std::string> &requestUri,
                                           const std::optional<std::string> &requestAddress) {
  std::string out;
  Begin(&out, names::kEndpointConnected)
      .Text("CFXHandle", handle)
      .TextOrNull("RequestNetworkUri", requestUri)
      .TextOrNull("RequestTargetAddress", requestAddress)
      .EndObject();
  return out;
}

std::string CfxMessages::EndpointShuttingDown(const std::string &handle) {
  std::string out;
  Begin(&out, names::kEndpointShuttingDown).Text("CFXHandle", handle).EndObject();
  return out;
}

std::string CfxMessages::Heartbeat(const std::string &handle, int64_t periodUs,
                                   const std::vector<CfxFault> &activeFaults) {
  std::string out;
  CfxJsonWriter w = Begin(&out, names::kHeartbeat);
  w.Text("CFXHandle", handle).Text("HeartbeatFrequency", CfxFormat::TimeSpan(periodUs));
  w.Key("ActiveFaults").BeginArray();
  for (const CfxFault &f : activeFaults) Fault(w, f);
  w.EndArray().Null("ActiveRecipes").EndObject();
  return out;
}

std::string CfxMessages::UnitIdentifier(const UnitRecord &unit) {
  return unit.serialNumber.empty() ? unit.unitId : unit.serialNumber;
}

std::string CfxMessages::WorkStarted(const UnitRecord &header, const std::string &transactionId) {
  std::string out;
  CfxJsonWriter w = Begin(&out, names::kWorkStarted);
  w.Text("PrimaryIdentifier", UnitIdentifier(header))
      .Null("HermesIdentifier")
      .Text("TransactionID", transactionId)
      .Null("Lane")
      .Integer("UnitCount", 1)
      .Key("Units")
      .BeginArray();
  UnitPosition(w, UnitIdentifier(header), "Pass");
  w.EndArray()
      .TextOrNull("RecipeName", RecipeName(header))
      .TextOrNull("Revision", RecipeRevision(header))
      .Text("RelevantSurface", "Unspecified")
      .Null("WorkOrderIdentifier")
      .EndObject();
  return out;
}

std::string CfxMessages::WorkCompleted(const UnitRecord &unit, const std::string &transactionId,
                                       const std::optional<std::string> &primaryIdentifier) {
  std::string out;
  CfxJsonWriter w = Begin(&out, names::kWorkCompleted);
  w.Text("TransactionID", transactionId)
      .Text("Result", unit.verdict == UnitVerdict::Pass   ? "Completed"
                      : unit.verdict == UnitVerdict::Fail ? "Failed"
                                                          : "Aborted")
      .TextOrNull("PrimaryIdentifier", primaryIdentifier)
      .Null("HermesIdentifier")
      .Integer("UnitCount", 1)
      .Key("Units")
      .BeginArray();
  UnitPosition(w, UnitIdentifier(unit), unit.verdict == UnitVerdict::Pass ? "Pass" : "Fail");
  w.EndArray().Null("PerformanceImpacts").EndObject();
  return out;
}

std::string CfxMessages::UnitsTested(const UnitRecord &unit, const std::string &transactionId) {
  // The items of each test in their order: a test per step, then one for the items outside
  // steps. order holds item indices grouped by test; first[t] is where test t's group starts.
  const size_t steps = unit.steps.size();
  std::vector<uint32_t> first(steps + 2, 0), order(unit.items.size());
  auto testOf = [&](const store::TestItemRecord &item) {
    return item.stepIndex >= 0 && static_cast<size_t>(item.stepIndex) < steps
               ? static_cast<size_t>(item.stepIndex)
               : steps;
  };
  for (const store::TestItemRecord &item : unit.items) ++first[testOf(item) + 1];
  for (size_t t = 1; t < first.size(); ++t) first[t] += first[t - 1];
  {
    std::vector<uint32_t> next(first.begin(), first.end() - 1);
    for (size_t i = 0; i < unit.items.size(); ++i) order[next[testOf(unit.items[i])]++] = static_cast<uint32_t>(i);
  }

  std::string out;
  out.reserve(1024 + unit.items.size() * 640 + steps * 512);
  CfxJsonWriter w = Begin(&out, names::kUnitsTested);
  w.Text("TransactionId", transactionId)
      .Text("TestMethod", "FCT")
      .Null("Tester") // the operator is not known to the station
      .TextOrNull("RecipeName", RecipeName(unit))
      .TextOrNull("RecipeRevision", RecipeRevision(unit))
      .Key("SamplingInformation")
      .BeginObject()
      .Text("SamplingMethod", "NoSampling")
      .Null("LotSize")
      .Null("SampleSize")
      .EndObject()
      .Key("TestedUnits")
      .BeginArray()
      .BeginObject()
      .Text("UnitIdentifier", UnitIdentifier(unit))
      .Integer("UnitPositionNumber", 1)
      .Text("OverallResult", OverallResult(unit.verdict))
      .Key("Tests")
      .BeginArray();
  auto measurements = [&](size_t test) {
    for (uint32_t k = first[test]; k < first[test + 1]; ++k) {
      const int sequence = static_cast<int>(k - first[test]) + 1;
      Measurement(w, &out, unit.items[order[k]], sequence, transactionId, PlaceOf(test, sequence));
    }
  };
  for (size_t i = 0; i < steps; ++i) {
    const store::StepRecord &step = unit.steps[i];
    const bool firstFailing = static_cast<int>(i) == unit.firstFailingStep;
    BeginTest(w, &out, transactionId, i, step.exportName, step.startedUs,
              step.startedUs ? step.startedUs + step.durationUs : 0,
              step.exportName + "(" + step.arguments + ")",
              firstFailing ? std::string_view(unit.failureReason) : std::string_view(), step.passed);
    measurements(i);
    EndTest(w);
  }
  if (first[steps] < first[steps + 1]) {
    bool passed = true;
    for (uint32_t k = first[steps]; k < first[steps + 1]; ++k) passed = passed && unit.items[order[k]].passed;
    BeginTest(w, &out, transactionId, steps, "Items outside steps", 0, 0, "", "", passed);
    measurements(steps);
    EndTest(w);
  }
  w.EndArray().EndObject().EndArray().EndObject();
  return out;
}

std::optional<std::string> CfxMessages::UnitsPersonalized(const UnitRecord &unit,
                                                          const std::string &transactionId) {
  struct Characteristic {
    const char *name;
    const std::string *value;
  };
  std::vector<Characteristic> characteristics;
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
    characteristics.push_back({values.empty() ? name->name : name->secondName, &identity.value});
    values.push_back(identity.value);
  }
  if (characteristics.empty()) return std::nullopt;
  std::string out;
  CfxJsonWriter w = Begin(&out, names::kUnitsPersonalized);
  w.Text("TransactionId", transactionId)
      .Key("PersonalizedUnits")
      .BeginArray()
      .BeginObject()
      .Text("UnitIdentifier", UnitIdentifier(unit))
      .Integer("UnitPositionNumber", 1)
      .Key("Characteristics")
      .BeginArray();
  for (const Characteristic &c : characteristics)
    w.BeginObject().Text("Name", c.name).Text("Value", *c.value).EndObject();
  w.EndArray().EndObject().EndArray().EndObject();
  return out;
}

std::string CfxMessages::StationStateChanged(int oldState, std::optional<int64_t> oldStateDurationUs,
                                             int newState, const CfxFault *relatedFault) {
  std::string out;
  CfxJsonWriter w = Begin(&out, names::kStationStateChanged);
  w.Text("OldState", std::to_string(oldState));
  if (oldStateDurationUs) w.Text("OldStateDuration", CfxFormat::TimeSpan(*oldStateDurationUs));
  else w.Null("OldStateDuration");
  w.Text("NewState", std::to_string(newState)).Key("RelatedFault");
  if (relatedFault) Fault(w, *relatedFault);
  else w.Null();
  w.EndObject();
  return out;
}

std::string CfxMessages::FaultOccurred(const CfxFault &fault) {
  std::string out;
  CfxJsonWriter w = Begin(&out, names::kFaultOccurred);
  w.Key("Fault");
  Fault(w, fault);
  w.EndObject();
  return out;
}

std::string CfxMessages::FaultCleared(const std::string &occurrenceId) {
  std::string out;
  Begin(&out, names::kFaultCleared).Text("FaultOccurrenceId", occurrenceId).Null("Operator").EndObject();
  return out;
}

std::string CfxMessages::ValidateUnitsRequest(const std::string &serialNumber) {
  std::string out;
  CfxJsonWriter w = Begin(&out, names::kValidateUnitsRequest);
  w.Key("Validations")
      .BeginArray()
      .String("UnitRouteValidation")
      .String("UnitStatusValidation")
      .EndArray()
      .Text("PrimaryIdentifier", serialNumber)
      .Null("HermesIdentifier")
      .Key("Units")
      .BeginArray();
  UnitPosition(w, serialNumber, "Pass");
  w.EndArray().Null("Lane").EndObject();
  return out;
}

} // namespace qrx::cfx
