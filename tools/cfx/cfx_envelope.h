// One CFX message as it travels: the envelope (name, time, id, sender, addressee) around a body.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>

namespace qrx::cfx {

// Messages as read back (receivers, checks). Property order matters to people reading the wire
// and to the SDK's examples: kept as built.
using Json = nlohmann::ordered_json;

struct CfxEnvelope {
  static constexpr const char *kVersion = "2.1";

  std::string messageName;              // "CFX.Production.WorkStarted"
  int64_t timeStampUs = 0;              // when the event happened (wall clock, us since epoch)
  std::string uniqueId;                 // lower-case GUID, kept across every resend
  std::string source;                   // the sender's CFX handle
  std::optional<std::string> target;    // requests and responses only
  std::optional<std::string> requestId; // requests and responses only
  std::string body;                     // the body's JSON text, starting with "$type"

  // A new envelope stamped now unless a time is given, with the given UniqueID or a fresh one.
  static CfxEnvelope Make(const std::string &messageName, const std::string &source,
                          std::string body, int64_t timeStampUs = 0, std::string uniqueId = "");
  // The envelope's JSON text, the eight properties in their order around the body's text.
  std::string ToText() const;
  // "CFX.Production" for "CFX.Production.WorkStarted".
  static std::string TopicOf(const std::string &messageName);
};

} // namespace qrx::cfx
