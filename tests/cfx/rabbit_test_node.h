// A RabbitMQ node of its own for a test binary or benchmark: Debian's rabbitmq-server with the
// AMQP 1.0 plugin, its database, logs, Erlang cookie and port mapper in a temporary folder, its
// listeners on free loopback ports. Stopped and removed at the end; no system service is used.
#pragma once

#include <string>
#include <sys/types.h>

namespace qrx::testing {

class RabbitTestNode {
public:
  RabbitTestNode() = default;
  RabbitTestNode(const RabbitTestNode &) = delete;
  RabbitTestNode &operator=(const RabbitTestNode &) = delete;
  ~RabbitTestNode(); // stops the node and its port mapper, removes the folder

  // False with *error when rabbitmq-server is missing or the node does not come up.
  bool Start(std::string *error);
  // Stops the node (as a broker that goes away) and starts it again with the same data.
  bool Stop();
  bool Restart(std::string *error);
  int Port() const { return port_; }
  // The Erlang VM's process id (what a benchmark reads the broker's CPU time from); 0 when down.
  pid_t NodePid() const;
  // "amqp://127.0.0.1:PORT" + path.
  std::string Url(const std::string &path = "") const;

private:
  bool Launch(std::string *error);
  std::string folder_;
  int port_ = 0, distPort_ = 0, epmdPort_ = 0;
  pid_t wrapper_ = -1;
};

} // namespace qrx::testing
