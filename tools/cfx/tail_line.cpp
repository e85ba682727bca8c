// The essentials of each message, as a tail line shows them.
#include "tail_line.h"

#include "cfx_schema.h"

#include <functional>

namespace qrx::cfx {

namespace {

std::string Text(const Json &j, const char *key) {
  if (!j.is_object() || !j.contains(key)) return "";
  const Json &v = j[key];
  return v.is_string() ? v.get<std::string>() : v.is_null() ? "" : v.dump();
}

const Json &At(const Json &j, const char *key) {
  static const Json none;
  return j.is_object() && j.contains(key) ? j[key] : none;
}

std::string FirstUnit(const Json &body, const char *list) {
  const Json &units = At(body, list);
  return units.is_array() && !units.empty() ? Text(units[0], "UnitIdentifier") : "";
}

std::string Short(const std::string &id) { return id.substr(0, 8); }

// What each message shows after its name.
struct Essentials {
  const char *message;
  std::function<std::string(const Json &body)> show;
};

const Essentials kEssentials[] = {
    {"CFX.Production.WorkStarted",
     [](const Json &b) {
       return Text(b, "PrimaryIdentifier") + " tx " + Short(Text(b, "TransactionID")) + " recipe " +
              Text(b, "RecipeName");
     }},
    {"CFX.Production.WorkCompleted",
     [](const Json &b) {
       return FirstUnit(b, "Units") + " " + Text(b, "Result") + " tx " + Short(Text(b, "TransactionID"));
     }},
    {"CFX.Production.TestAndInspection.UnitsTested",
     [](const Json &b) {
       const Json &units = At(b, "TestedUnits");
       if (!units.is_array() || units.empty()) return std::string("no units");
       const Json &tests = At(units[0], "Tests");
       size_t failed = 0, measurements = 0;
       if (tests.is_array())
         for (const Json &t : tests) {
           failed += Text(t, "Result") != "Passed";
           const Json &m = At(t, "Measurements");
           measurements += m.is_array() ? m.size() : 0;
         }
       return Text(units[0], "UnitIdentifier") + " " + Text(units[0], "OverallResult") + " tests " +
              std::to_string(tests.is_array() ? tests.size() : 0) + " (" + std::to_string(failed) +
              " failed) measurements " + std::to_string(measurements) + " tx " +
              Short(Text(b, "TransactionId"));
     }},
    {"CFX.Production.Assembly.UnitsPersonalized",
     [](const Json &b) {
       const Json &units = At(b, "PersonalizedUnits");
       if (!units.is_array() || units.empty()) return std::string("no units");
       std::string out = Text(units[0], "UnitIdentifier");
       const Json &c = At(units[0], "Characteristics");
       if (c.is_array())
         for (const Json &one : c) out += " " + Text(one, "Name") + "=" + Text(one, "Value");
       return out;
     }},
    {"CFX.ResourcePerformance.StationStateChanged",
     [](const Json &b) {
       return Text(b, "OldState") + " -> " + Text(b, "NewState") +
              (At(b, "RelatedFault").is_object() ? " fault " + Text(At(b, "RelatedFault"), "Description") : "");
     }},
    {"CFX.ResourcePerformance.FaultOccurred",
     [](const Json &b) {
       const Json &f = At(b, "Fault");
       return Text(f, "FaultCode") + " " + Text(f, "Severity") + ": " + Text(f, "Description");
     }},
    {"CFX.ResourcePerformance.FaultCleared",
     [](const Json &b) { return "occurrence " + Short(Text(b, "FaultOccurrenceId")); }},
    {"CFX.Heartbeat",
     [](const Json &b) {
       const Json &faults = At(b, "ActiveFaults");
       return "every " + Text(b, "HeartbeatFrequency") +
              (faults.is_array() && !faults.empty() ? ", " + std::to_string(faults.size()) + " active fault(s)" : "");
     }},
    {"CFX.InformationSystem.UnitValidation.ValidateUnitsRequest",
     [](const Json &b) { return Text(b, "PrimaryIdentifier"); }},
    {"CFX.InformationSystem.UnitValidation.ValidateUnitsResponse",
     [](const Json &b) {
       return Text(At(b, "Result"), "Result") + " " + Text(At(b, "PrimaryResult"), "Result") + " " +
              Text(At(b, "PrimaryResult"), "Message");
     }},
};

} // namespace

std::string TailLine::Format(const Json &envelope) {
  const std::string name = Text(envelope, "MessageName");
  const std::string stamp = Text(envelope, "TimeStamp");
  // The wall-clock part of the time stamp, to the millisecond: "14:03:27.512".
  std::string clock = stamp.size() >= 19 ? stamp.substr(11, 8) : stamp;
  if (stamp.size() > 20 && stamp[19] == '.') {
    size_t end = 20;
    while (end < stamp.size() && end < 23 && std::isdigit(static_cast<unsigned char>(stamp[end]))) ++end;
    clock += stamp.substr(19, end - 19);
  }
  const size_t dot = name.rfind('.');
  std::string line = clock + " " + Text(envelope, "Source") + " " +
                     (dot == std::string::npos ? name : name.substr(dot + 1));
  for (const Essentials &e : kEssentials)
    if (name == e.message) {
      const std::string shown = e.show(At(envelope, "MessageBody"));
      if (!shown.empty()) line += " " + shown;
    }
  const std::vector<std::string> problems = CfxSchema::Check(envelope);
  if (!problems.empty())
    line += " [!] " + problems.front() +
            (problems.size() > 1 ? " (+" + std::to_string(problems.size() - 1) + " more)" : "");
  return line;
}

} // namespace qrx::cfx
