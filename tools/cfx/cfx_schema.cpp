// The message table and the check that walks a message along it.
#include "cfx_schema.h"

#include "cfx_format.h"

#include <regex>

namespace qrx::cfx {

namespace {

using T = FieldType;
using P = Presence;

// Structures are listed with their properties in the order they are written; a structure
// whose first property is "$type" carries its class name there.
const std::vector<FieldRule> kRules = {
    {"Envelope", "MessageName", T::Text, P::A, ""},
    {"Envelope", "Version", T::Text, P::A, ""},
    {"Envelope", "TimeStamp", T::DateTime, P::A, ""},
    {"Envelope", "UniqueID", T::Guid, P::A, ""},
    {"Envelope", "Source", T::Text, P::R, ""},
    {"Envelope", "Target", T::Text, P::O, ""},
    {"Envelope", "RequestID", T::Text, P::O, ""},
    {"Envelope", "MessageBody", T::Free, P::A, ""},

    {"CFX.EndpointConnected", "$type", T::Text, P::A, ""},
    {"CFX.EndpointConnected", "CFXHandle", T::Text, P::R, ""},
    {"CFX.EndpointConnected", "RequestNetworkUri", T::Text, P::O, ""},
    {"CFX.EndpointConnected", "RequestTargetAddress", T::Text, P::O, ""},
    {"CFX.EndpointShuttingDown", "$type", T::Text, P::A, ""},
    {"CFX.EndpointShuttingDown", "CFXHandle", T::Text, P::R, ""},
    {"CFX.Heartbeat", "$type", T::Text, P::A, ""},
    {"CFX.Heartbeat", "CFXHandle", T::Text, P::R, ""},
    {"CFX.Heartbeat", "HeartbeatFrequency", T::TimeSpan, P::A, ""},
    {"CFX.Heartbeat", "ActiveFaults", T::Array, P::O, "Fault"},
    {"CFX.Heartbeat", "ActiveRecipes", T::Free, P::O, ""},
    {"CFX.NotSupportedResponse", "$type", T::Text, P::A, ""},
    {"CFX.NotSupportedResponse", "RequestResult", T::Object, P::A, "RequestResult"},

    {"CFX.Production.WorkStarted", "$type", T::Text, P::A, ""},
    {"CFX.Production.WorkStarted", "PrimaryIdentifier", T::Text, P::R, ""},
    {"CFX.Production.WorkStarted", "HermesIdentifier", T::Text, P::O, ""},
    {"CFX.Production.WorkStarted", "TransactionID", T::Guid, P::A, ""},
    {"CFX.Production.WorkStarted", "Lane", T::Integer, P::O, ""},
    {"CFX.Production.WorkStarted", "UnitCount", T::Integer, P::A, ""},
    {"CFX.Production.WorkStarted", "Units", T::Array, P::A, "UnitPosition"},
    {"CFX.Production.WorkStarted", "RecipeName", T::Text, P::O, ""},
    {"CFX.Production.WorkStarted", "Revision", T::Text, P::O, ""},
    {"CFX.Production.WorkStarted", "RelevantSurface", T::Enum, P::A, "Surface"},
    {"CFX.Production.WorkStarted", "WorkOrderIdentifier", T::Free, P::O, ""},
    {"CFX.Production.WorkCompleted", "$type", T::Text, P::A, ""},
    {"CFX.Production.WorkCompleted", "TransactionID", T::Guid, P::A, ""},
    {"CFX.Production.WorkCompleted", "Result", T::Enum, P::A, "WorkResult"},
    {"CFX.Production.WorkCompleted", "PrimaryIdentifier", T::Text, P::O, ""},
    {"CFX.Production.WorkCompleted", "HermesIdentifier", T::Text, P::O, ""},
    {"CFX.Production.WorkCompleted", "UnitCount", T::Integer, P::A, ""},
    {"CFX.Production.WorkCompleted", "Units", T::Array, P::A, "UnitPosition"},
    {"CFX.Production.WorkCompleted", "PerformanceImpacts", T::Free, P::O, ""},
    {"UnitPosition", "UnitIdentifier", T::Text, P::R, ""},
    {"UnitPosition", "PositionNumber", T::Integer, P::A, ""},
    {"UnitPosition", "PositionName", T::Text, P::O, ""},
    {"UnitPosition", "X", T::Number, P::A, ""},
    {"UnitPosition", "Y", T::Number, P::A, ""},
    {"UnitPosition", "Z", T::Number, P::O, ""},
    {"UnitPosition", "Rotation", T::Number, P::A, ""},
    {"UnitPosition", "FlipX", T::Boolean, P::A, ""},
    {"UnitPosition", "FlipY", T::Boolean, P::A, ""},
    {"UnitPosition", "Status", T::Enum, P::A, "UnitStatus"},

    {"CFX.Production.TestAndInspection.UnitsTested", "$type", T::Text, P::A, ""},
    {"CFX.Production.TestAndInspection.UnitsTested", "TransactionId", T::Guid, P::A, ""},
    {"CFX.Production.TestAndInspection.UnitsTested", "TestMethod", T::Enum, P::A, "TestMethod"},
    {"CFX.Production.TestAndInspection.UnitsTested", "Tester", T::Object, P::O, "Operator"},
    {"CFX.Production.TestAndInspection.UnitsTested", "RecipeName", T::Text, P::O, ""},
    {"CFX.Production.TestAndInspection.UnitsTested", "RecipeRevision", T::Text, P::O, ""},
    {"CFX.Production.TestAndInspection.UnitsTested", "SamplingInformation", T::Object, P::R,
     "SamplingInformation"},
    {"CFX.Production.TestAndInspection.UnitsTested", "TestedUnits", T::Array, P::A, "TestedUnit"},
    {"Operator", "OperatorIdentifier", T::Text, P::O, ""},
    {"Operator", "ActorType", T::Enum, P::A, "ActorType"},
    {"Operator", "LastName", T::Text, P::O, ""},
    {"Operator", "FirstName", T::Text, P::O, ""},
    {"Operator", "LoginName", T::Text, P::O, ""},
    {"SamplingInformation", "SamplingMethod", T::Enum, P::A, "SamplingMethod"},
    {"SamplingInformation", "LotSize", T::Number, P::O, ""},
    {"SamplingInformation", "SampleSize", T::Number, P::O, ""},
    {"TestedUnit", "UnitIdentifier", T::Text, P::R, ""},
    {"TestedUnit", "UnitPositionNumber", T::Integer, P::O, ""},
    {"TestedUnit", "OverallResult", T::Enum, P::A, "TestResult"},
    {"TestedUnit", "Tests", T::Array, P::A, "Test"},
    {"Test", "UniqueIdentifier", T::Text, P::R, ""},
    {"Test", "TestName", T::Text, P::R, ""},
    {"Test", "TestStartTime", T::DateTime, P::O, ""},
    {"Test", "TestEndTime", T::DateTime, P::O, ""},
    {"Test", "TestConditions", T::Array, P::A, "Condition"},
    {"Test", "TestProcedure", T::Text, P::O, ""},
    {"Test", "Comments", T::Text, P::O, ""},
    {"Test", "Result", T::Enum, P::A, "TestResult"},
    {"Test", "Error", T::Text, P::O, ""},
    {"Test", "SymptomsFound", T::Array, P::A, "Free"},
    {"Test", "DefectsFound", T::Array, P::A, "Free"},
    {"Test", "Measurements", T::Array, P::A, "Measurement"},

    // Measurements: the subclass's own properties, then the base class's.
    {"CFX.Structures.NumericMeasurement", "$type", T::Text, P::A, ""},
    {"CFX.Structures.NumericMeasurement", "MeasuredValue", T::Object, P::R, "NumericValue"},
    {"CFX.Structures.BooleanMeasurement", "$type", T::Text, P::A, ""},
    {"CFX.Structures.BooleanMeasurement", "Value", T::Boolean, P::A, ""},
    {"CFX.Structures.BooleanMeasurement", "ExpectedValue", T::Boolean, P::A, ""},
    {"CFX.Structures.TextMeasurement", "$type", T::Text, P::A, ""},
    {"CFX.Structures.TextMeasurement", "Value", T::Text, P::R, ""},
    {"CFX.Structures.TextMeasurement", "ExpectedValue", T::Text, P::R, ""},
    {"Measurement", "UniqueIdentifier", T::Text, P::R, ""},
    {"Measurement", "MeasurementName", T::Text, P::R, ""},
    {"Measurement", "TimeRecorded", T::DateTime, P::O, ""},
    {"Measurement", "Sequence", T::Integer, P::A, ""},
    {"Measurement", "Result", T::Enum, P::A, "TestResult"},
    {"Measurement", "CRDs", T::Text, P::O, ""},
    {"NumericValue", "Value", T::Number, P::A, ""},
    {"NumericValue", "ValueUnits", T::Text, P::R, ""},
    {"NumericValue", "ExpectedValue", T::Number, P::O, ""},
    {"NumericValue", "ExpectedValueUnits", T::Text, P::O, ""},
    {"NumericValue", "MinimumAcceptableValue", T::Number, P::O, ""},
    {"NumericValue", "MinimumAcceptableValueUnits", T::Text, P::O, ""},
    {"NumericValue", "MaximumAcceptableValue", T::Number, P::O, ""},
    {"NumericValue", "MaximumAcceptableValueUnits", T::Text, P::O, ""},

    {"CFX.Production.Assembly.UnitsPersonalized", "$type", T::Text, P::A, ""},
    {"CFX.Production.Assembly.UnitsPersonalized", "TransactionId", T::Guid, P::A, ""},
    {"CFX.Production.Assembly.UnitsPersonalized", "PersonalizedUnits", T::Array, P::A,
     "PersonalizedUnit"},
    {"PersonalizedUnit", "UnitIdentifier", T::Text, P::R, ""},
    {"PersonalizedUnit", "UnitPositionNumber", T::Integer, P::O, ""},
    {"PersonalizedUnit", "Characteristics", T::Array, P::A, "Characteristic"},
    {"Characteristic", "Name", T::Text, P::R, ""},
    {"Characteristic", "Value", T::Text, P::R, ""},

    {"CFX.ResourcePerformance.StationStateChanged", "$type", T::Text, P::A, ""},
    {"CFX.ResourcePerformance.StationStateChanged", "OldState", T::State, P::A, ""},
    {"CFX.ResourcePerformance.StationStateChanged", "OldStateDuration", T::TimeSpan, P::O, ""},
    {"CFX.ResourcePerformance.StationStateChanged", "NewState", T::State, P::A, ""},
    {"CFX.ResourcePerformance.StationStateChanged", "RelatedFault", T::Object, P::O, "Fault"},
    {"CFX.ResourcePerformance.FaultOccurred", "$type", T::Text, P::A, ""},
    {"CFX.ResourcePerformance.FaultOccurred", "Fault", T::Object, P::A, "Fault"},
    {"CFX.ResourcePerformance.FaultCleared", "$type", T::Text, P::A, ""},
    {"CFX.ResourcePerformance.FaultCleared", "FaultOccurrenceId", T::Guid, P::A, ""},
    {"CFX.ResourcePerformance.FaultCleared", "Operator", T::Object, P::O, "Operator"},
    {"Fault", "TransactionID", T::Guid, P::O, ""},
    {"Fault", "Cause", T::Enum, P::A, "FaultCause"},
    {"Fault", "Severity", T::Enum, P::A, "FaultSeverity"},
    {"Fault", "FaultCode", T::Text, P::R, ""},
    {"Fault", "FaultOccurrenceId", T::Guid, P::A, ""},
    {"Fault", "Lane", T::Integer, P::O, ""},
    {"Fault", "Stage", T::Free, P::O, ""},
    {"Fault", "SideLocation", T::Enum, P::A, "SideLocation"},
    {"Fault", "AccessType", T::Enum, P::A, "AccessType"},
    {"Fault", "Description", T::Text, P::O, ""},
    {"Fault", "DescriptionTranslations", T::Free, P::A, ""},
    {"Fault", "OccurredAt", T::DateTime, P::A, ""},
    {"Fault", "DueDateTime", T::DateTime, P::O, ""},

    {"CFX.InformationSystem.UnitValidation.ValidateUnitsRequest", "$type", T::Text, P::A, ""},
    {"CFX.InformationSystem.UnitValidation.ValidateUnitsRequest", "Validations", T::Array, P::A,
     "ValidationType"},
    {"CFX.InformationSystem.UnitValidation.ValidateUnitsRequest", "PrimaryIdentifier", T::Text,
     P::R, ""},
    {"CFX.InformationSystem.UnitValidation.ValidateUnitsRequest", "HermesIdentifier", T::Text,
     P::O, ""},
    {"CFX.InformationSystem.UnitValidation.ValidateUnitsRequest", "Units", T::Array, P::A,
     "UnitPosition"},
    {"CFX.InformationSystem.UnitValidation.ValidateUnitsRequest", "Lane", T::Integer, P::O, ""},
    {"CFX.InformationSystem.UnitValidation.ValidateUnitsResponse", "$type", T::Text, P::A, ""},
    {"CFX.InformationSystem.UnitValidation.ValidateUnitsResponse", "Result", T::Object, P::A,
     "RequestResult"},
    {"CFX.InformationSystem.UnitValidation.ValidateUnitsResponse", "PrimaryResult", T::Object,
     P::A, "ValidationResult"},
    {"CFX.InformationSystem.UnitValidation.ValidateUnitsResponse", "ValidationResults", T::Array,
     P::A, "ValidationResult"},
    {"RequestResult", "Result", T::Enum, P::A, "StatusResult"},
    {"RequestResult", "ResultCode", T::Integer, P::A, ""},
    {"RequestResult", "Message", T::Text, P::O, ""},
    {"ValidationResult", "UniqueIdentifier", T::Text, P::R, ""},
    {"ValidationResult", "PositionNumber", T::Integer, P::A, ""},
    {"ValidationResult", "Result", T::Enum, P::A, "ValidationStatus"},
    {"ValidationResult", "FailureCode", T::Integer, P::A, ""},
    {"ValidationResult", "Message", T::Text, P::O, ""},
};

struct EnumNames {
  std::string_view name;
  std::vector<std::string_view> values;
};

const std::vector<EnumNames> kEnums = {
    {"TestResult", {"Passed", "Failed", "Error", "Aborted", "Skipped"}},
    {"WorkResult", {"Completed", "Failed", "Aborted", "Skipped"}},
    {"TestMethod", {"Human", "Automated", "ICT", "FPT", "FCT", "BST"}},
    {"UnitStatus", {"Pass", "Fail", "Scrap", "Skip"}},
    {"Surface", {"Unspecified", "PrimarySurface", "SecondarySurface"}},
    {"ValidationType",
     {"UnitRouteValidation", "UnitStatusValidation", "UnitAndSubsStatusValidation",
      "UnitTraceValidation", "All"}},
    {"ValidationStatus", {"Passed", "Failed", "Skipped"}},
    {"StatusResult", {"Success", "PartialSuccess", "Failed", "Warning"}},
    {"ActorType", {"Human", "Robot", "RemoteSystem"}},
    {"SamplingMethod",
     {"NoSampling", "ANSI_Z14", "MIL_STD_105", "MIL_STD_1916", "Squeglia", "FixedSample"}},
    {"FaultSeverity", {"Information", "Warning", "Error", "Alarm"}},
    {"FaultCause",
     {"LoadError", "UnloadError", "AutoSafetyStop", "SafetyStop", "QualityCheck", "RemoteStop",
      "MechanicalFailure", "SoftwareFailure", "PowerFailure", "MissingDocumentation", "Refill",
      "MsdExpired", "MaterialExpired", "MissingComponent", "ElectricalFailure", "ServicesFailure",
      "ProcessError", "RejectedComponent"}},
    {"SideLocation", {"Unknown", "Right", "Left", "Both"}},
    {"AccessType", {"Unknown", "Ignore", "Local", "Remote"}},
};

// The resource-state codes (SEMI E10 classes with E58 sub-states).
const std::vector<std::string_view> kStates = {
    "1000", "1100", "1200", "1300", "1400", "2000", "2100", "2200", "2201", "2202", "2300",
    "2400", "2500", "3000", "3100", "3200", "4000", "4100", "4200", "4300", "4400", "4500",
    "4600", "4700", "5000", "5100", "5200", "5300", "5400", "5500", "5600", "6000", "6100",
    "6200", "6300", "6400", "6500"};

const std::regex kDateTime(
    R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(\.\d{1,7})?(Z|[+-]\d{2}:\d{2}))");
const std::regex kTimeSpan(R"(-?(\d+\.)?\d{2}:\d{2}:\d{2}(\.\d{1,7})?)");

class Checker {
public:
  explicit Checker(std::vector<std::string> *problems) : problems_(problems) {}

  void Structure(const Json &value, std::string_view structure, const std::string &path) {
    if (!value.is_object()) return Say(path, "is not an object");
    std::vector<const FieldRule *> fields;
    for (const FieldRule &r : kRules)
      if (r.structure == structure) fields.push_back(&r);
    // A measurement's base class follows its own properties.
    if (structure.find("Measurement") != std::string_view::npos && structure != "Measurement")
      for (const FieldRule &r : kRules)
        if (r.structure == "Measurement") fields.push_back(&r);
    if (fields.empty()) return Say(path, "no rule for " + std::string(structure));
    if (fields.front()->field == "$type") {
      const std::string expected = std::string(structure) + ", CFX";
      if (value.empty() || value.begin().key() != "$type")
        Say(path, "\"$type\" is not the first property");
      else if (value.begin().value() != expected)
        Say(path + ".$type", "is " + value.begin().value().dump() + ", expected \"" + expected + "\"");
    }
    size_t i = 0;
    for (auto it = value.begin(); it != value.end(); ++it, ++i) {
      if (i >= fields.size()) {
        Say(path, "unexpected property \"" + it.key() + "\"");
        continue;
      }
      if (it.key() != fields[i]->field) {
        Say(path, "property " + std::to_string(i) + " is \"" + it.key() + "\", expected \"" +
                      std::string(fields[i]->field) + "\"");
        return;
      }
      Field(it.value(), *fields[i], path + "." + it.key());
    }
    for (; i < fields.size(); ++i) Say(path, "missing \"" + std::string(fields[i]->field) + "\"");
  }

  void Field(const Json &value, const FieldRule &rule, const std::string &path) {
    if (value.is_null()) {
      if (rule.presence == Presence::A) Say(path, "is null");
      return;
    }
    switch (rule.type) {
    case FieldType::Text:
      if (!value.is_string()) Say(path, "is not a text");
      break;
    case FieldType::Integer:
      if (!value.is_number_integer()) Say(path, "is not an integer");
      break;
    case FieldType::Number:
      if (!value.is_number_float()) Say(path, "is not a number with a decimal point");
      break;
    case FieldType::Boolean:
      if (!value.is_boolean()) Say(path, "is not true or false");
      break;
    case FieldType::Guid:
      if (!value.is_string() || !CfxFormat::IsGuid(value.get<std::string>()))
        Say(path, "is not a lower-case GUID");
      break;
    case FieldType::DateTime:
      if (!value.is_string() || !std::regex_match(value.get<std::string>(), kDateTime))
        Say(path, "is not a date-time with its offset");
      break;
    case FieldType::TimeSpan:
      if (!value.is_string() || !std::regex_match(value.get<std::string>(), kTimeSpan))
        Say(path, "is not a time span [d.]hh:mm:ss[.fffffff]");
      break;
    case FieldType::Enum: Enum(value, rule.ref, path); break;
    case FieldType::State: {
      bool known = false;
      if (value.is_string())
        for (std::string_view s : kStates) known = known || value.get<std::string>() == s;
      if (!known) Say(path, "is not a resource state code as text");
      break;
    }
    case FieldType::Object: Structure(value, rule.ref, path); break;
    case FieldType::Array:
      if (!value.is_array()) return Say(path, "is not an array");
      for (size_t i = 0; i < value.size(); ++i) Element(value[i], rule.ref, path + "[" + std::to_string(i) + "]");
      break;
    case FieldType::Free:
      if (!value.is_object() && !value.is_array()) Say(path, "is not an object");
      break;
    }
  }

  void Element(const Json &value, std::string_view ref, const std::string &path) {
    if (ref == "Free") return;
    if (ref == "Measurement" || ref == "Condition") {
      std::string type;
      if (value.is_object() && value.contains("$type") && value["$type"].is_string())
        type = value["$type"].get<std::string>();
      const size_t comma = type.find(", CFX");
      if (comma == std::string::npos) return Say(path, "has no \"$type\"");
      return Structure(value, type.substr(0, comma), path);
    }
    for (const EnumNames &e : kEnums)
      if (e.name == ref) return Enum(value, ref, path);
    Structure(value, ref, path);
  }

  void Enum(const Json &value, std::string_view name, const std::string &path) {
    for (const EnumNames &e : kEnums) {
      if (e.name != name) continue;
      if (value.is_string())
        for (std::string_view v : e.values)
          if (value.get<std::string>() == v) return;
      return Say(path, value.dump() + " is not a " + std::string(name) + " name");
    }
    Say(path, "unknown enumeration " + std::string(name));
  }

  void Say(const std::string &path, const std::string &what) { problems_->push_back(path + ": " + what); }

private:
  std::vector<std::string> *problems_;
};

} // namespace

const std::vector<FieldRule> &CfxSchema::Rules() { return kRules; }

bool CfxSchema::Knows(const std::string &messageName) {
  for (const FieldRule &r : kRules)
    if (r.structure == messageName) return true;
  return false;
}

std::vector<std::string> CfxSchema::Check(const Json &envelope) {
  std::vector<std::string> problems;
  Checker checker(&problems);
  checker.Structure(envelope, "Envelope", "");
  if (!problems.empty() || !envelope["MessageName"].is_string()) return problems;
  const std::string name = envelope["MessageName"].get<std::string>();
  if (envelope["Version"] != CfxEnvelope::kVersion)
    checker.Say(".Version", "is " + envelope["Version"].dump());
  if (Knows(name)) checker.Structure(envelope["MessageBody"], name, ".MessageBody");
  return problems;
}

} // namespace qrx::cfx
