// Where an AMQP 1.0 peer is: amqp://[user:password@]HOST[:PORT]/ADDRESS (amqps:// for TLS).
#pragma once

#include <string>

namespace qrx::cfx {

struct AmqpUrl {
  bool tls = false;
  std::string user, password; // percent-decoded; empty: anonymous login
  std::string host;
  int port = 5672;
  std::string path;           // everything after HOST:PORT, with its leading '/'; may be empty

  // False with *error saying what is wrong and what a right URL looks like.
  static bool Parse(const std::string &text, AmqpUrl *url, std::string *error);
  std::string HostPort() const;
  // The URL as people may see it: the password left out.
  std::string Shown() const;
  // The node the path names, as the broker names it: RabbitMQ's forms ("/queue/Q",
  // "/exchange/X", "/topic/K", "/amq/queue/Q") keep their slash, any other name is taken as it
  // stands without the slash ("cfx", a responder's CFX handle).
  std::string Address() const;
};

} // namespace qrx::cfx
