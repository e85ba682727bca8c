// The envelope around every CFX message body.
#include "cfx_envelope.h"

#include "cfx_format.h"

namespace qrx::cfx {

CfxEnvelope CfxEnvelope::Make(const std::string &messageName, const std::string &source, Json body,
                              int64_t timeStampUs) {
  CfxEnvelope envelope;
  envelope.messageName = messageName;
  envelope.timeStampUs = timeStampUs ? timeStampUs : CfxFormat::NowMicros();
  envelope.uniqueId = CfxFormat::NewGuid();
  envelope.source = source;
  envelope.body = std::move(body);
  return envelope;
}

Json CfxEnvelope::ToJson() const {
  auto orNull = [](const std::optional<std::string> &text) {
    return text ? Json(*text) : Json(nullptr);
  };
  Json out = Json::object();
  out["MessageName"] = messageName;
  out["Version"] = kVersion;
  out["TimeStamp"] = CfxFormat::DateTime(timeStampUs);
  out["UniqueID"] = uniqueId;
  out["Source"] = source.empty() ? Json(nullptr) : Json(source);
  out["Target"] = orNull(target);
  out["RequestID"] = orNull(requestId);
  out["MessageBody"] = body;
  return out;
}

std::string CfxEnvelope::TopicOf(const std::string &messageName) {
  const size_t dot = messageName.rfind('.');
  return dot == std::string::npos ? std::string() : messageName.substr(0, dot);
}

} // namespace qrx::cfx
