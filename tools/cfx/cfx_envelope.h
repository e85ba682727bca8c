// One CFX message as it travels: the envelope (name, time, id, sender, addressee) around a body.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>

namespace qrx::cfx {

// Property order matters to people reading the wire and to the SDK's examples: kept as built.
using Json = nlohmann::ordered_json;

struct CfxEnvelope {
  static constexpr const char *kVersion = "2.1";

  std::string messageName;              // "CFX.Production.WorkStarted"
  int64_t timeStampUs = 0;              // when the event happened (wall clock, us since epoch)
  std::string uniqueId;                 // lower-case GUID, kept across every resend
  std::string source;                   // the sender's CFX handle
  std::optional<std::string> target;    // requests and responses only
  std::optional<std::string> requestId; // requests and responses only
  Json body;                            // starts with "$type"

  // A new envelope with a fresh UniqueID, stamped now unless a time is given.
  static CfxEnvelope Make(const std::string &messageName, const std::string &source, Json body,
                          int64_t timeStampUs = 0);
  // The envelope's JSON, the eight properties in their order.
  Json ToJson() const;
  std::string ToText() const { return ToJson().dump(); }
  // "CFX.Production" for "CFX.Production.WorkStarted".
  static std::string TopicOf(const std::string &messageName);
};

} // namespace qrx::cfx
