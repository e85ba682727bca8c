// CFX envelopes as AMQP 1.0 messages (one data section, the routing properties CFX brokers and
// consumers use) and the connection settings of a CFX endpoint.
#pragma once

#include "amqp_url.h"
#include "cfx_envelope.h"
#include "cfx_outbox.h"

#include <proton/connection_options.hpp>
#include <proton/error_condition.hpp>
#include <proton/message.hpp>

#include <string>
#include <vector>

namespace qrx::cfx {

class CfxAmqp {
public:
  static proton::message Message(const OutboxMessage &queued);
  // A request or response: to = target, correlation-id = request id, reply-to as given.
  static proton::message Message(const CfxEnvelope &envelope, const std::string &replyTo);
  // The envelopes an AMQP message carries (one, or a batch): the body as a data section or a
  // text, gzip-compressed when its content-encoding says so. False with *error when it is not
  // CFX JSON.
  static bool Decode(const proton::message &message, std::vector<Json> *envelopes, std::string *error);
  // SASL ANONYMOUS without credentials, PLAIN with them; container-id = the CFX handle.
  static proton::connection_options Options(const AmqpUrl &url, const std::string &handle);
  // A connection or link error for people, with what to check.
  static std::string Explain(const proton::error_condition &error, const AmqpUrl &url);
};

} // namespace qrx::cfx
