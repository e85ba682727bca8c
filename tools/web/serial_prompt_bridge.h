// The library's serial-number prompt answered through a prompt broker: the page (and, when the
// host gives one, a terminal prompt running at the same time) may answer; the first one wins.
#pragma once

#include "prompt_broker.h"

#include <qrx/host_ui.h>

#include <functional>
#include <string>

namespace qrx::web {

enum class TerminalOutcome { Answered, Cancelled, Unavailable };

class SerialPromptBridge {
public:
  // A terminal front end run beside the page on a thread of its own. It must return soon after
  // withdrawn() turns true (poll its input with a short timeout); matches judges a UTF-8 text.
  using TerminalFn = std::function<TerminalOutcome(
      int station, const std::string &pattern, const std::function<bool(const std::string &)> &matches,
      const std::function<bool()> &withdrawn, std::string *text)>;
  // The library speaks its ANSI code page, the page UTF-8; identity when not given.
  using Convert = std::function<std::string(const std::string &)>;

  struct Options {
    TerminalFn terminal;
    Convert toUtf8, fromUtf8;
  };

  SerialPromptBridge(PromptBroker &broker, Options options);

  // The station a station thread serves; the library's prompt does not say which station asks,
  // so each station thread tells once at its start.
  static void SetThreadStation(int station);
  static int ThreadStation();

  // Install with QRX_SetSerialPromptHandler(&SerialPromptBridge::Handler, &bridge).
  static int Handler(void *context, const char *pattern, QRXMatchFn matches, void *matcher,
                     char *textOut, size_t textOutSize);

  // What Handler does, for hosts that call it themselves: 1 with the answer in *ansiText
  // (the library's code page), 0 for cancel.
  int Ask(int station, const std::string &ansiPattern,
          const std::function<bool(const std::string &ansi)> &matches, size_t maxBytes,
          std::string *ansiText, AnswerSource *source = nullptr);

private:
  std::string ToUtf8(const std::string &s) const { return options_.toUtf8 ? options_.toUtf8(s) : s; }
  std::string FromUtf8(const std::string &s) const { return options_.fromUtf8 ? options_.fromUtf8(s) : s; }

  PromptBroker &broker_;
  Options options_;
};

} // namespace qrx::web
