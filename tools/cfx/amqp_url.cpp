// Reading AMQP URLs.
#include "amqp_url.h"

#include <cctype>

namespace qrx::cfx {

namespace {

bool PercentDecode(const std::string &in, std::string *out) {
  out->clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '%') {
      *out += in[i];
      continue;
    }
    if (i + 2 >= in.size() || !std::isxdigit(static_cast<unsigned char>(in[i + 1])) ||
        !std::isxdigit(static_cast<unsigned char>(in[i + 2])))
      return false;
    *out += static_cast<char>(std::stoi(in.substr(i + 1, 2), nullptr, 16));
    i += 2;
  }
  return true;
}

} // namespace

bool AmqpUrl::Parse(const std::string &text, AmqpUrl *url, std::string *error) {
  auto fail = [&](const std::string &why) {
    if (error)
      *error = "\"" + text + "\": " + why +
               " (expected amqp://[USER:PASSWORD@]HOST[:PORT]/ADDRESS, e.g. "
               "amqp://127.0.0.1:5672/queue/cfx)";
    return false;
  };
  AmqpUrl u;
  std::string rest;
  if (text.rfind("amqp://", 0) == 0) {
    rest = text.substr(7);
  } else if (text.rfind("amqps://", 0) == 0) {
    rest = text.substr(8);
    u.tls = true;
    u.port = 5671;
  } else {
    return fail("not an amqp:// or amqps:// URL");
  }
  const size_t slash = rest.find('/');
  std::string authority = rest.substr(0, slash);
  u.path = slash == std::string::npos ? "" : rest.substr(slash);
  const size_t at = authority.rfind('@');
  if (at != std::string::npos) {
    const std::string credentials = authority.substr(0, at);
    authority = authority.substr(at + 1);
    const size_t colon = credentials.find(':');
    if (!PercentDecode(credentials.substr(0, colon), &u.user) ||
        (colon != std::string::npos && !PercentDecode(credentials.substr(colon + 1), &u.password)))
      return fail("a bad %-escape in the user or password");
    if (u.user.empty()) return fail("an empty user name");
  }
  if (!authority.empty() && authority.front() == '[') { // [::1]:5672
    const size_t close = authority.find(']');
    if (close == std::string::npos) return fail("an unclosed [ in the host");
    u.host = authority.substr(1, close - 1);
    authority = authority.substr(close + 1);
    if (!authority.empty() && authority.front() != ':') return fail("text after the host");
  } else {
    const size_t colon = authority.find(':');
    u.host = authority.substr(0, colon);
    authority = colon == std::string::npos ? "" : authority.substr(colon);
  }
  if (u.host.empty()) return fail("no host");
  if (!authority.empty()) {
    const std::string port = authority.substr(1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(port) < 1 || std::stoi(port) > 65535)
      return fail("the port is not a number from 1 to 65535");
    u.port = std::stoi(port);
  }
  *url = u;
  return true;
}

std::string AmqpUrl::HostPort() const {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string AmqpUrl::Shown() const {
  return std::string(tls ? "amqps://" : "amqp://") + (user.empty() ? "" : user + "@") + HostPort() + path;
}

std::string AmqpUrl::Address() const {
  for (const char *form : {"/queue/", "/exchange/", "/topic/", "/amq/queue/", "/exchanges/", "/queues/"})
    if (path.rfind(form, 0) == 0) return path;
  return path.empty() ? path : path.substr(1);
}

} // namespace qrx::cfx
