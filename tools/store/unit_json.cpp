// Unit records to and from JSON objects whose keys are the record's field names.
#include "unit_json.h"

#include <initializer_list>

namespace qrx::store {

using nlohmann::json;

namespace {

json OptionalNumber(const std::optional<double> &v) { return v ? json(*v) : json(nullptr); }

// Reads one field when present; a present field of the wrong type is an error, so a file that
// says "stationIndex": "3" is reported rather than read as 0.
class Reader {
public:
  Reader(const json &object, std::string *error) : object_(object), error_(error) {}
  // formerName: what older writers called the field; read when the field itself is absent.
  template <typename T> void Get(const char *key, T *out, const char *formerName = nullptr) {
    if (!ok_) return;
    const json *value = Find(key, formerName);
    if (!value) return;
    try {
      *out = value->get<T>();
    } catch (const json::exception &) {
      Fail(std::string("field '") + key + "' has the wrong type");
    }
  }
  void GetOptional(const char *key, std::optional<double> *out) {
    if (!ok_) return;
    const json *value = Find(key, nullptr);
    if (!value) return;
    if (!value->is_number()) return Fail(std::string("field '") + key + "' is not a number");
    *out = value->get<double>();
  }
  const json *Array(const char *key) {
    if (!ok_) return nullptr;
    const json *value = Find(key, nullptr);
    if (!value) return nullptr;
    if (!value->is_array()) {
      Fail(std::string("field '") + key + "' is not an array");
      return nullptr;
    }
    return value;
  }
  void Fail(const std::string &why) {
    if (ok_ && error_) *error_ = why;
    ok_ = false;
  }
  bool ok() const { return ok_; }

private:
  const json *Find(const char *key, const char *formerName) const {
    auto it = object_.find(key);
    if ((it == object_.end() || it->is_null()) && formerName) it = object_.find(formerName);
    if (it == object_.end() || it->is_null()) return nullptr;
    return &*it;
  }

  const json &object_;
  std::string *error_;
  bool ok_ = true;
};

// An element is an object; the spool once wrote elements as arrays holding the fields in the
// order of positionalNames, which are read as the object they stand for.
template <typename T, typename Fn>
bool ReadArray(Reader &r, const char *key, std::initializer_list<const char *> positionalNames,
               std::vector<T> *out, std::string *error, Fn read) {
  const json *array = r.Array(key);
  if (!array) return r.ok();
  for (const json &element : *array) {
    json named;
    const json *object = &element;
    if (element.is_array() && element.size() == positionalNames.size()) {
      named = json::object();
      size_t i = 0;
      for (const char *name : positionalNames) named[name] = element[i++];
      object = &named;
    } else if (!element.is_object()) {
      r.Fail(std::string("an element of '") + key + "' is not an object");
      return false;
    }
    T value;
    Reader er(*object, error);
    read(er, &value);
    if (!er.ok()) {
      r.Fail(error ? *error : std::string());
      return false;
    }
    out->push_back(std::move(value));
  }
  return true;
}

} // namespace

json UnitToJson(const UnitRecord &u) {
  json steps = json::array(), items = json::array(), ids = json::array(), downloads = json::array();
  for (const StepRecord &s : u.steps)
    steps.push_back({{"index", s.index}, {"exportName", s.exportName}, {"arguments", s.arguments},
                     {"result", s.result}, {"passed", s.passed}, {"startedUs", s.startedUs},
                     {"durationUs", s.durationUs}});
  for (const TestItemRecord &t : u.items)
    items.push_back({{"stepIndex", t.stepIndex}, {"source", t.source}, {"name", t.name},
                     {"value", t.value}, {"lower", t.lower}, {"upper", t.upper},
                     {"valueNumber", OptionalNumber(t.valueNumber)},
                     {"lowerNumber", OptionalNumber(t.lowerNumber)},
                     {"upperNumber", OptionalNumber(t.upperNumber)}, {"verdict", t.verdict},
                     {"passed", t.passed}, {"tag", t.tag}, {"monotonicNs", t.monotonicNs},
                     {"wallUs", t.wallUs}});
  for (const IdentityRecord &i : u.identities)
    ids.push_back({{"stepIndex", i.stepIndex}, {"kind", i.kind}, {"value", i.value},
                   {"action", i.action}, {"result", i.result}, {"fromPool", i.fromPool},
                   {"wallUs", i.wallUs}});
  for (const DownloadRecord &d : u.downloads)
    downloads.push_back({{"stepIndex", d.stepIndex}, {"image", d.image}, {"success", d.success},
                         {"outcome", d.outcome}, {"durationUs", d.durationUs}});
  return {{"unitId", u.unitId}, {"serialNumber", u.serialNumber}, {"productType", u.productType},
          {"businessConfig", u.businessConfig}, {"stationIndex", u.stationIndex},
          {"threadIndex", u.threadIndex}, {"hostName", u.hostName}, {"sequenceFile", u.sequenceFile},
          {"sequenceHash", u.sequenceHash}, {"startedUs", u.startedUs}, {"endedUs", u.endedUs},
          {"verdict", VerdictName(u.verdict)}, {"firstFailingStep", u.firstFailingStep},
          {"failureReason", u.failureReason}, {"steps", steps}, {"items", items},
          {"identities", ids}, {"downloads", downloads}};
}

std::string UnitToJsonLine(const UnitRecord &unit) {
  return UnitToJson(unit).dump(-1, ' ', false, json::error_handler_t::replace);
}

bool UnitFromJson(const json &object, UnitRecord *unit, std::string *error) {
  if (!unit) return false;
  if (!object.is_object()) {
    if (error) *error = "not a JSON object";
    return false;
  }
  UnitRecord u;
  Reader r(object, error);
  r.Get("unitId", &u.unitId);
  if (r.ok() && u.unitId.empty()) r.Fail("the unit id is missing");
  r.Get("serialNumber", &u.serialNumber);
  r.Get("productType", &u.productType);
  r.Get("businessConfig", &u.businessConfig);
  r.Get("stationIndex", &u.stationIndex, "station");
  r.Get("threadIndex", &u.threadIndex);
  r.Get("hostName", &u.hostName);
  r.Get("sequenceFile", &u.sequenceFile);
  r.Get("sequenceHash", &u.sequenceHash, "sequenceSha256");
  r.Get("startedUs", &u.startedUs);
  r.Get("endedUs", &u.endedUs);
  std::string verdict = "incomplete";
  r.Get("verdict", &verdict);
  if (r.ok() && !ParseVerdict(verdict, &u.verdict)) r.Fail("unknown verdict '" + verdict + "'");
  r.Get("firstFailingStep", &u.firstFailingStep);
  r.Get("failureReason", &u.failureReason);
  ReadArray(r, "steps",
            {"index", "exportName", "arguments", "result", "passed", "startedUs", "durationUs"},
            &u.steps, error, [](Reader &e, StepRecord *s) {
              e.Get("index", &s->index);
              e.Get("exportName", &s->exportName, "export");
              e.Get("arguments", &s->arguments);
              e.Get("result", &s->result);
              e.Get("passed", &s->passed);
              e.Get("startedUs", &s->startedUs);
              e.Get("durationUs", &s->durationUs);
            });
  ReadArray(r, "items",
            {"stepIndex", "source", "name", "value", "lower", "upper", "valueNumber",
             "lowerNumber", "upperNumber", "verdict", "passed", "tag", "monotonicNs", "wallUs"},
            &u.items, error, [](Reader &e, TestItemRecord *t) {
              e.Get("stepIndex", &t->stepIndex, "step");
              e.Get("source", &t->source);
              e.Get("name", &t->name);
              e.Get("value", &t->value);
              e.Get("lower", &t->lower);
              e.Get("upper", &t->upper);
              e.GetOptional("valueNumber", &t->valueNumber);
              e.GetOptional("lowerNumber", &t->lowerNumber);
              e.GetOptional("upperNumber", &t->upperNumber);
              e.Get("verdict", &t->verdict);
              e.Get("passed", &t->passed);
              e.Get("tag", &t->tag);
              e.Get("monotonicNs", &t->monotonicNs);
              e.Get("wallUs", &t->wallUs);
            });
  ReadArray(r, "identities",
            {"stepIndex", "kind", "value", "action", "result", "fromPool", "wallUs"},
            &u.identities, error, [](Reader &e, IdentityRecord *i) {
              e.Get("stepIndex", &i->stepIndex, "step");
              e.Get("kind", &i->kind);
              e.Get("value", &i->value);
              e.Get("action", &i->action);
              e.Get("result", &i->result);
              e.Get("fromPool", &i->fromPool);
              e.Get("wallUs", &i->wallUs);
            });
  ReadArray(r, "downloads", {"stepIndex", "image", "success", "outcome", "durationUs"},
            &u.downloads, error, [](Reader &e, DownloadRecord *d) {
              e.Get("stepIndex", &d->stepIndex, "step");
              e.Get("image", &d->image);
              e.Get("success", &d->success);
              e.Get("outcome", &d->outcome);
              e.Get("durationUs", &d->durationUs);
            });
  if (!r.ok()) return false;
  *unit = std::move(u);
  return true;
}

} // namespace qrx::store
