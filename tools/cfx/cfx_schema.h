// What a CFX message must look like, as data: for every message body and structure its
// properties in order with type and presence, and the names of every enumeration. Checks a
// message against it (the tests check everything we send; qrx-cfx-tail flags what others send).
#pragma once

#include "cfx_envelope.h"

#include <string>
#include <string_view>
#include <vector>

namespace qrx::cfx {

enum class FieldType {
  Text, Integer, Number, Boolean, Guid, DateTime, TimeSpan,
  Enum,      // ref: the enumeration
  State,     // a ResourceState code as text ("1100")
  Object,    // ref: the structure
  Array,     // ref: the structure or enumeration of the elements, or "Measurement"
  Free,      // an object this station always sends as null or {} (recipes, stages, ...)
};

// A: never null. R: may be null, the sender fills it when it can. O: null when unknown.
enum class Presence { A, R, O };

struct FieldRule {
  std::string_view structure; // a message name, or a structure name ("Test", "UnitPosition")
  std::string_view field;
  FieldType type;
  Presence presence;
  std::string_view ref;
};

class CfxSchema {
public:
  // Problems of a whole envelope ("MessageBody.TestedUnits[0].Tests[1].Result: ..."); empty
  // when it matches. Messages the table does not know are checked as far as the envelope.
  static std::vector<std::string> Check(const Json &envelope);
  // Whether the table describes the message.
  static bool Knows(const std::string &messageName);
  static const std::vector<FieldRule> &Rules();
};

} // namespace qrx::cfx
