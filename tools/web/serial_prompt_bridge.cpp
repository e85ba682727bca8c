// Serial prompt bridge: opens a broker prompt for the asking station, runs the terminal beside
// it, and hands the first answer back to the library.
#include "serial_prompt_bridge.h"

#include <cstring>
#include <thread>

namespace qrx::web {

namespace {
thread_local int t_station = 0;
}

SerialPromptBridge::SerialPromptBridge(PromptBroker &broker, Options options)
    : broker_(broker), options_(std::move(options)) {}

void SerialPromptBridge::SetThreadStation(int station) { t_station = station; }
int SerialPromptBridge::ThreadStation() { return t_station; }

int SerialPromptBridge::Ask(int station, const std::string &ansiPattern,
                            const std::function<bool(const std::string &)> &matches, size_t maxBytes,
                            std::string *ansiText, AnswerSource *source) {
  // Page and terminal speak UTF-8; the library's matcher judges the text in its own code page,
  // and a text that would not fit the library's buffer never fits.
  auto fitsUtf8 = [&](const std::string &utf8) {
    if (utf8.find('\0') != std::string::npos) return false;
    std::string ansi = FromUtf8(utf8);
    return ansi.size() < maxBytes && matches(ansi);
  };
  std::string pattern = ToUtf8(ansiPattern);
  uint64_t id = broker_.Open(station, pattern, fitsUtf8);
  std::thread terminal;
  if (options_.terminal) {
    terminal = std::thread([this, station, id, pattern, fitsUtf8] {
      std::string text;
      auto withdrawn = [&] { return !broker_.IsOpen(station, id); };
      TerminalOutcome got = options_.terminal(station, pattern, fitsUtf8, withdrawn, &text);
      if (got == TerminalOutcome::Answered) broker_.Answer(station, id, text, AnswerSource::Terminal);
      else if (got == TerminalOutcome::Cancelled) broker_.Cancel(station, id, AnswerSource::Terminal);
      // Unavailable: no terminal, the page alone answers.
    });
  }
  PromptOutcome outcome = broker_.Wait(station, id);
  if (terminal.joinable()) terminal.join();
  if (source) *source = outcome.source;
  if (!outcome.answered) return 0;
  std::string ansi = FromUtf8(outcome.text);
  if (ansi.size() >= maxBytes || !matches(ansi)) return 0;
  if (ansiText) *ansiText = ansi;
  return 1;
}

int SerialPromptBridge::Handler(void *context, const char *pattern, QRXMatchFn matches,
                                void *matcher, char *textOut, size_t textOutSize) {
  auto *bridge = static_cast<SerialPromptBridge *>(context);
  if (!bridge || !matches || !textOut || textOutSize == 0) return 0;
  auto fits = [&](const std::string &ansi) { return matches(matcher, ansi.c_str()) == 1; };
  std::string answer;
  if (bridge->Ask(ThreadStation(), pattern ? pattern : "", fits, textOutSize, &answer) != 1) return 0;
  std::memcpy(textOut, answer.c_str(), answer.size() + 1);
  return 1;
}

} // namespace qrx::web
