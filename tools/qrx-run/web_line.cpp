// qrx-run's live line page: the address given with --web, the monitor and the prompt bridge
// with its terminal front end.
#include "web_line.h"

#include "web/terminal_prompt.h"

#include <charconv>

namespace qrx::tools {

bool WebLine::ParseAddress(const std::string &text, std::string *host, int *port, std::string *error) {
  auto fail = [&](const std::string &why) {
    if (error) *error = "--web " + text + ": " + why + " (e.g. 127.0.0.1:8080, or port 0 for a free one)";
    return false;
  };
  size_t colon;
  std::string h;
  if (!text.empty() && text[0] == '[') {
    size_t close = text.find(']');
    if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':')
      return fail("an IPv6 address is written [ADDRESS]:PORT");
    h = text.substr(1, close - 1);
    colon = close + 1;
  } else {
    colon = text.rfind(':');
    if (colon == std::string::npos) return fail("no port");
    h = text.substr(0, colon);
    if (h.find(':') != std::string::npos) return fail("an IPv6 address is written [ADDRESS]:PORT");
  }
  if (h.empty()) h = "127.0.0.1";
  std::string p = text.substr(colon + 1);
  int value = -1;
  auto [end, ec] = std::from_chars(p.data(), p.data() + p.size(), value);
  if (p.empty() || ec != std::errc() || end != p.data() + p.size() || value < 0 || value > 65535)
    return fail("the port must be a number from 0 to 65535");
  if (h.find_first_of(" /\\@?#") != std::string::npos) return fail("not a host name or address");
  *host = h;
  *port = value;
  return true;
}

WebLine::WebLine(Options options) : options_(std::move(options)) {
  web::LineMonitorOptions o;
  o.address = options_.address;
  o.port = options_.port;
  o.token = options_.token;
  o.title = options_.title;
  monitor_ = std::make_unique<web::LineMonitor>(o);
  web::SerialPromptBridge::Options b;
  b.toUtf8 = options_.toUtf8;
  b.fromUtf8 = options_.fromUtf8;
  if (options_.terminal) b.terminal = web::TerminalPrompt().Function();
  bridge_ = std::make_unique<web::SerialPromptBridge>(monitor_->Prompts(), b);
}

WebLine::~WebLine() { Stop(); }

bool WebLine::Start(std::string *error) { return monitor_->Start(error); }

void WebLine::Stop() { monitor_->Stop(); }

int WebLine::Ask(int station, const std::string &ansiPattern,
                 const std::function<bool(const std::string &)> &matches, size_t maxBytes,
                 std::string *ansiText, std::string *where) {
  web::AnswerSource source = web::AnswerSource::Page;
  int answered = bridge_->Ask(station, ansiPattern, matches, maxBytes, ansiText, &source);
  if (where) *where = web::AnswerSourceName(source);
  return answered;
}

} // namespace qrx::tools
