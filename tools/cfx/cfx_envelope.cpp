// The envelope around every CFX message body.
#include "cfx_envelope.h"

#include "cfx_format.h"

namespace qrx::cfx {

CfxEnvelope CfxEnvelope::Make(const std::string &messageName, const std::string &source, Json body,
                              int64_t timeStampUs, std::string uniqueId) {
  CfxEnvelope envelope;
  envelope.messageName = messageName;
  envelope.timeStampUs = timeStampUs ? timeStampUs : CfxFormat::NowMicros();
  envelope.uniqueId = uniqueId.empty() ? CfxFormat::NewGuid() : std::move(uniqueId);
  envelope.source = source;
  envelope.body = std::move(body);
  return envelope;
}

std::string CfxEnvelope::ToText() const {
  auto text = [](const Json &value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); };
  auto orNull = [&](const std::optional<std::string> &value) {
    return value ? text(Json(*value)) : std::string("null");
  };
  std::string body = text(this->body);
  std::string out;
  out.reserve(body.size() + 256);
  out += "{\"MessageName\":";
  out += text(Json(messageName));
  out += ",\"Version\":\"";
  out += kVersion;
  out += "\",\"TimeStamp\":\"";
  out += CfxFormat::DateTime(timeStampUs);
  out += "\",\"UniqueID\":";
  out += text(Json(uniqueId));
  out += ",\"Source\":";
  out += source.empty() ? std::string("null") : text(Json(source));
  out += ",\"Target\":";
  out += orNull(target);
  out += ",\"RequestID\":";
  out += orNull(requestId);
  out += ",\"MessageBody\":";
  out += body;
  out += '}';
  return out;
}

std::string CfxEnvelope::TopicOf(const std::string &messageName) {
  const size_t dot = messageName.rfind('.');
  return dot == std::string::npos ? std::string() : messageName.substr(0, dot);
}

} // namespace qrx::cfx
