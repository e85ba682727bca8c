// Starting and stopping a private RabbitMQ node.
#include "rabbit_test_node.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qrx::testing {

namespace {

constexpr const char *kServer = "/usr/lib/rabbitmq/bin/rabbitmq-server";

int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr *>(&a), &length) == 0)
    port = ntohs(a.sin_port);
  close(fd);
  return port;
}

bool Listening(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
  close(fd);
  return ok;
}

bool WaitExit(pid_t pid, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

} // namespace

bool RabbitTestNode::Start(std::string *error) {
  if (access(kServer, X_OK) != 0) {
    *error = std::string(kServer) + " is missing (apt-get install rabbitmq-server)";
    return false;
  }
  char pattern[] = "/tmp/qrx-rabbit-XXXXXX";
  if (!mkdtemp(pattern)) {
    *error = "no temporary folder";
    return false;
  }
  folder_ = pattern;
  port_ = FreePort();
  distPort_ = FreePort();
  epmdPort_ = FreePort();
  std::ofstream(folder_ + "/enabled_plugins") << "[rabbitmq_amqp1_0].\n";
  std::ofstream(folder_ + "/rabbitmq.conf")
      << "listeners.tcp.default = 127.0.0.1:" << port_ << "\n"
      << "amqp1_0.default_user = guest\n";
  return Launch(error);
}

bool RabbitTestNode::Launch(std::string *error) {
  const std::string log = folder_ + "/server.log";
  wrapper_ = fork();
  if (wrapper_ == 0) {
    setpgid(0, 0);
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(out, 1);
    dup2(out, 2);
    const std::string f = folder_;
    setenv("HOME", f.c_str(), 1); // the Erlang cookie
    setenv("RABBITMQ_MNESIA_BASE", (f + "/mnesia").c_str(), 1);
    setenv("RABBITMQ_LOG_BASE", (f + "/log").c_str(), 1);
    setenv("RABBITMQ_NODENAME", ("qrxtest-" + std::to_string(getppid()) + "@localhost").c_str(), 1);
    setenv("RABBITMQ_NODE_IP_ADDRESS", "127.0.0.1", 1);
    setenv("RABBITMQ_NODE_PORT", std::to_string(port_).c_str(), 1);
    setenv("RABBITMQ_DIST_PORT", std::to_string(distPort_).c_str(), 1);
    setenv("ERL_EPMD_PORT", std::to_string(epmdPort_).c_str(), 1);
    setenv("ERL_EPMD_ADDRESS", "127.0.0.1", 1);
    setenv("RABBITMQ_SERVER_START_ARGS", "-kernel inet_dist_use_interface {127,0,0,1}", 1);
    setenv("RABBITMQ_ENABLED_PLUGINS_FILE", (f + "/enabled_plugins").c_str(), 1);
    setenv("RABBITMQ_CONFIG_FILE", (f + "/rabbitmq").c_str(), 1);
    setenv("RABBITMQ_ADVANCED_CONFIG_FILE", (f + "/advanced.config").c_str(), 1);
    setenv("RABBITMQ_CONF_ENV_FILE", (f + "/rabbitmq-env.conf").c_str(), 1);
    setenv("RABBITMQ_PID_FILE", (f + "/node.pid").c_str(), 1);
    setenv("RABBITMQ_PLUGINS_EXPAND_DIR", (f + "/plugins-expand").c_str(), 1);
    execl(kServer, kServer, static_cast<char *>(nullptr));
    _exit(127);
  }
  for (int i = 0; i < 1200; ++i) { // the node needs 10 to 60 s on a busy machine
    if (Listening(port_)) return true;
    if (waitpid(wrapper_, nullptr, WNOHANG) == wrapper_) {
      wrapper_ = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::ifstream in(log);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  *error = "the RabbitMQ node did not come up on port " + std::to_string(port_) + ": " +
           text.substr(text.size() > 2000 ? text.size() - 2000 : 0);
  Stop();
  return false;
}

bool RabbitTestNode::Stop() {
  if (wrapper_ <= 0) return true;
  // The wrapper script runs the Erlang VM as its child, in the group the fork made: the node
  // ends cleanly on SIGTERM.
  const pid_t node = NodePid();
  if (node > 0) kill(node, SIGTERM);
  kill(wrapper_, SIGTERM);
  if (!WaitExit(wrapper_, 60)) {
    kill(-wrapper_, SIGKILL);
    waitpid(wrapper_, nullptr, 0);
  }
  if (node > 0)
    for (int i = 0; i < 300 && kill(node, 0) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::filesystem::remove(folder_ + "/node.pid");
  wrapper_ = -1;
  return true;
}

bool RabbitTestNode::Restart(std::string *error) {
  Stop();
  return Launch(error);
}

RabbitTestNode::~RabbitTestNode() {
  Stop();
  if (epmdPort_ > 0) { // the port mapper the node started for itself
    const std::string command = "ERL_EPMD_PORT=" + std::to_string(epmdPort_) + " epmd -kill >/dev/null 2>&1";
    [[maybe_unused]] const int rc = std::system(command.c_str());
  }
  if (!folder_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
}

pid_t RabbitTestNode::NodePid() const {
  pid_t node = 0;
  std::ifstream(folder_ + "/node.pid") >> node;
  return node;
}

std::string RabbitTestNode::Url(const std::string &path) const {
  return "amqp://127.0.0.1:" + std::to_string(port_) + path;
}

} // namespace qrx::testing
