// The envelope around every CFX message body.
#include "cfx_envelope.h"

#include "cfx_format.h"
#include "cfx_json_writer.h"

namespace qrx::cfx {

CfxEnvelope CfxEnvelope::Make(const std::string &messageName, const std::string &source, std::string body,
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
  std::string out;
  out.reserve(body.size() + 256 + source.size());
  CfxJsonWriter w(&out);
  w.BeginObject()
      .Text("MessageName", messageName)
      .Text("Version", kVersion)
      .Key("TimeStamp").DateTime(timeStampUs)
      .Text("UniqueID", uniqueId)
      .TextOrNull("Source", source)
      .TextOrNull("Target", target)
      .TextOrNull("RequestID", requestId)
      .Key("MessageBody").Raw(body)
      .EndObject();
  return out;
}

std::string CfxEnvelope::TopicOf(const std::string &messageName) {
  const size_t dot = messageName.rfind('.');
  return dot == std::string::npos ? std::string() : messageName.substr(0, dot);
}

} // namespace qrx::cfx
