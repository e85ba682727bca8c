// Unit records to and from JSON with nlohmann-json.
#include "unit_json.h"

#include <nlohmann/json.hpp>

namespace qrx::store {

using nlohmann::json;

namespace {

json Optional(const std::optional<double> &v) { return v ? json(*v) : json(nullptr); }
std::optional<double> Optional(const json &j) {
  return j.is_number() ? std::optional<double>(j.get<double>()) : std::nullopt;
}

} // namespace

std::string UnitToJson(const UnitRecord &u) {
  json j = {{"unitId", u.unitId},
            {"serialNumber", u.serialNumber},
            {"productType", u.productType},
            {"businessConfig", u.businessConfig},
            {"stationIndex", u.stationIndex},
            {"threadIndex", u.threadIndex},
            {"hostName", u.hostName},
            {"sequenceFile", u.sequenceFile},
            {"sequenceHash", u.sequenceHash},
            {"startedUs", u.startedUs},
            {"endedUs", u.endedUs},
            {"verdict", VerdictName(u.verdict)},
            {"firstFailingStep", u.firstFailingStep},
            {"failureReason", u.failureReason}};
  json &steps = j["steps"] = json::array();
  for (const StepRecord &s : u.steps)
    steps.push_back({s.index, s.exportName, s.arguments, s.result, s.passed, s.startedUs,
                     s.durationUs});
  json &items = j["items"] = json::array();
  for (const TestItemRecord &t : u.items)
    items.push_back({t.stepIndex, t.source, t.name, t.value, t.lower, t.upper,
                     Optional(t.valueNumber), Optional(t.lowerNumber), Optional(t.upperNumber),
                     t.verdict, t.passed, t.tag, t.monotonicNs, t.wallUs});
  json &ids = j["identities"] = json::array();
  for (const IdentityRecord &d : u.identities)
    ids.push_back({d.stepIndex, d.kind, d.value, d.action, d.result, d.fromPool, d.wallUs});
  json &downloads = j["downloads"] = json::array();
  for (const DownloadRecord &d : u.downloads)
    downloads.push_back({d.stepIndex, d.image, d.success, d.outcome, d.durationUs});
  // Replace invalid UTF-8 rather than throw: a stray byte in a log text must not lose a unit.
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<UnitRecord> UnitFromJson(const std::string &text) {
  try {
    const json j = json::parse(text);
    UnitRecord u;
    u.unitId = j.at("unitId").get<std::string>();
    u.serialNumber = j.at("serialNumber").get<std::string>();
    u.productType = j.at("productType").get<std::string>();
    u.businessConfig = j.at("businessConfig").get<std::string>();
    u.stationIndex = j.at("stationIndex").get<int>();
    u.threadIndex = j.at("threadIndex").get<int>();
    u.hostName = j.at("hostName").get<std::string>();
    u.sequenceFile = j.at("sequenceFile").get<std::string>();
    u.sequenceHash = j.at("sequenceHash").get<std::string>();
    u.startedUs = j.at("startedUs").get<int64_t>();
    u.endedUs = j.at("endedUs").get<int64_t>();
    const std::string verdict = j.at("verdict").get<std::string>();
    u.verdict = verdict == "pass"   ? UnitVerdict::Pass
                : verdict == "fail" ? UnitVerdict::Fail
                                    : UnitVerdict::Incomplete;
    u.firstFailingStep = j.at("firstFailingStep").get<int>();
    u.failureReason = j.at("failureReason").get<std::string>();
    for (const json &s : j.at("steps"))
      u.steps.push_back({s.at(0).get<int>(), s.at(1).get<std::string>(),
                         s.at(2).get<std::string>(), s.at(3).get<int32_t>(), s.at(4).get<bool>(),
                         s.at(5).get<int64_t>(), s.at(6).get<int64_t>()});
    for (const json &s : j.at("items")) {
      TestItemRecord t;
      t.stepIndex = s.at(0).get<int>();
      t.source = s.at(1).get<std::string>();
      t.name = s.at(2).get<std::string>();
      t.value = s.at(3).get<std::string>();
      t.lower = s.at(4).get<std::string>();
      t.upper = s.at(5).get<std::string>();
      t.valueNumber = Optional(s.at(6));
      t.lowerNumber = Optional(s.at(7));
      t.upperNumber = Optional(s.at(8));
      t.verdict = s.at(9).get<std::string>();
      t.passed = s.at(10).get<bool>();
      t.tag = s.at(11).get<std::string>();
      t.monotonicNs = s.at(12).get<int64_t>();
      t.wallUs = s.at(13).get<int64_t>();
      u.items.push_back(std::move(t));
    }
    for (const json &s : j.at("identities"))
      u.identities.push_back({s.at(0).get<int>(), s.at(1).get<std::string>(),
                              s.at(2).get<std::string>(), s.at(3).get<std::string>(),
                              s.at(4).get<int32_t>(), s.at(5).get<bool>(),
                              s.at(6).get<int64_t>()});
    for (const json &s : j.at("downloads"))
      u.downloads.push_back({s.at(0).get<int>(), s.at(1).get<std::string>(), s.at(2).get<bool>(),
                             s.at(3).get<std::string>(), s.at(4).get<int64_t>()});
    return u;
  } catch (const std::exception &) {
    return std::nullopt;
  }
}

} // namespace qrx::store
