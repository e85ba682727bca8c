// qrx-run's live line page (--web): the line monitor and the operator's barcode prompt in the
// page, answered there or on the terminal, whichever is first.
#pragma once

#include "web/line_monitor.h"
#include "web/serial_prompt_bridge.h"

#include <memory>
#include <string>

namespace qrx::tools {

class WebLine {
public:
  struct Options {
    std::string address = "127.0.0.1";
    int port = 8080;
    std::string token;       // required for a non-loopback address
    bool terminal = true;    // ask on the terminal beside the page
    std::string title = "QRX line";
    // The library's code page and the page's UTF-8.
    web::SerialPromptBridge::Convert toUtf8, fromUtf8;
  };

  // "HOST:PORT", "[V6]:PORT" or ":PORT" (loopback); PORT 0 is any free port. False with *error
  // for anything else.
  static bool ParseAddress(const std::string &text, std::string *host, int *port, std::string *error);

  explicit WebLine(Options options);
  ~WebLine();

  // Serves the page; false with *error when the address is refused or cannot be bound.
  bool Start(std::string *error);
  // Cancels open prompts and stops serving.
  void Stop();
  std::string Url() const { return monitor_->PageUrl(); }

  web::LineMonitor &Monitor() { return *monitor_; }

  // Asks the station's operator for a barcode in the page (and on the terminal): 1 with the
  // answer in *ansiText, 0 when cancelled. *where says who answered ("page", "terminal").
  int Ask(int station, const std::string &ansiPattern,
          const std::function<bool(const std::string &)> &matches, size_t maxBytes,
          std::string *ansiText, std::string *where);

private:
  Options options_;
  std::unique_ptr<web::LineMonitor> monitor_;
  std::unique_ptr<web::SerialPromptBridge> bridge_;
};

} // namespace qrx::tools
