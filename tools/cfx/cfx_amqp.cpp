// Envelope <-> AMQP message, and connection settings.
#include "cfx_amqp.h"

#include "cfx_gzip.h"

#include <proton/binary.hpp>
#include <proton/duration.hpp>
#include <proton/message_id.hpp>
#include <proton/null.hpp>
#include <proton/ssl.hpp>
#include <proton/timestamp.hpp>
#include <proton/value.hpp>

namespace qrx::cfx {

namespace {

constexpr const char *kContentType = "application/json; charset=\"utf-8\"";

void Fill(proton::message *m, const std::string &uniqueId, const std::string &name,
          const std::string &source, const std::optional<std::string> &target, int64_t timeUs,
          const std::string &text) {
  m->durable(true);
  m->id(proton::message_id(uniqueId));
  if (target) m->to(*target);
  m->reply_to(source);
  m->subject(source + "." + name);
  m->content_type(kContentType);
  m->creation_time(proton::timestamp(timeUs / 1000));
  auto &properties = m->properties();
  properties.put("cfx-topic", CfxEnvelope::TopicOf(name));
  properties.put("cfx-message", name);
  properties.put("cfx-handle", source);
  if (target) properties.put("cfx-target", *target);
  else properties.put("cfx-target", proton::null());
  // A binary body with the inferred flag goes out as one data section.
  m->body(proton::binary(text.begin(), text.end()));
  m->inferred(true);
}

} // namespace

proton::message CfxAmqp::Message(const OutboxMessage &queued) {
  proton::message m;
  Fill(&m, queued.uniqueId, queued.messageName, queued.source, std::nullopt, queued.timeStampUs,
       queued.text);
  if (queued.gzip) m.content_encoding("gzip");
  return m;
}

proton::message CfxAmqp::Message(const CfxEnvelope &envelope, const std::string &replyTo) {
  proton::message m;
  Fill(&m, envelope.uniqueId, envelope.messageName, envelope.source, envelope.target,
       envelope.timeStampUs, envelope.ToText());
  m.reply_to(replyTo);
  if (envelope.requestId) m.correlation_id(proton::message_id(*envelope.requestId));
  return m;
}

bool CfxAmqp::Decode(const proton::message &message, std::vector<Json> *envelopes, std::string *error) {
  std::string text;
  const proton::value &body = message.body();
  if (body.type() == proton::BINARY) {
    const proton::binary bytes = proton::get<proton::binary>(body);
    text.assign(bytes.begin(), bytes.end());
  } else if (body.type() == proton::STRING) {
    text = proton::get<std::string>(body);
  } else {
    *error = "the body is neither a data section nor a text";
    return false;
  }
  if (message.content_encoding() == "gzip") {
    std::string inflated;
    if (!CfxGzip::Inflate(text, &inflated, error)) return false;
    text.swap(inflated);
  }
  Json parsed = Json::parse(text, nullptr, false);
  if (parsed.is_discarded()) {
    *error = "the body is not JSON";
    return false;
  }
  envelopes->clear();
  if (parsed.is_array()) {
    for (Json &e : parsed) envelopes->push_back(std::move(e));
  } else {
    envelopes->push_back(std::move(parsed));
  }
  for (const Json &e : *envelopes)
    if (!e.is_object() || !e.contains("MessageName") || !e["MessageName"].is_string()) {
      *error = "a JSON body without a MessageName";
      return false;
    }
  return true;
}

proton::connection_options CfxAmqp::Options(const AmqpUrl &url, const std::string &handle) {
  proton::connection_options options;
  options.container_id(handle);
  options.max_frame_size(250000);
  options.idle_timeout(proton::duration(30000));
  options.sasl_enabled(true);
  if (url.user.empty()) {
    options.sasl_allowed_mechs("ANONYMOUS");
  } else {
    options.user(url.user);
    options.password(url.password);
    options.sasl_allowed_mechs("PLAIN");
    options.sasl_allow_insecure_mechs(true);
  }
  if (url.tls) options.ssl_client_options(proton::ssl_client_options());
  return options;
}

std::string CfxAmqp::Explain(const proton::error_condition &error, const AmqpUrl &url) {
  const std::string name = error.name(), text = error.description();
  const std::string where = url.Shown();
  if (name == "amqp:unauthorized-access" || text.find("SASL") != std::string::npos ||
      text.find("sasl") != std::string::npos || text.find("authentication") != std::string::npos)
    return where + " refused the login" + (url.user.empty() ? " (no user given: anonymous)" : " of user " + url.user) +
           ": " + text + " (check the user and password in the URL)";
  if (name == "amqp:not-found")
    return where + ": the broker has no node " + url.Address() + ": " + text +
           " (RabbitMQ: /queue/NAME, /exchange/NAME with an existing exchange)";
  if (name == "proton:io")
    return where + " cannot be reached: " + text;
  return where + ": " + (name.empty() ? std::string() : name + ": ") + text;
}

} // namespace qrx::cfx
