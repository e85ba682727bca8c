// Operator messages and the serial-number prompt: handed to the host's handlers when it
// installed them, otherwise a line on standard error and a prompt on /dev/tty.
#include "platform/operator_ui.h"

#include "interface/export_macros.h"
#include "platform/code_page.h"

#include <qrx/host_ui.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace qrx::platform {
namespace {

std::mutex g_handlerMutex;
QRXMessageBoxFn g_messageBox = nullptr;
void *g_messageBoxContext = nullptr;
QRXSerialPromptFn g_serialPrompt = nullptr;
void *g_serialPromptContext = nullptr;

constexpr size_t kPromptBufferSize = 4096;

int MatchTrampoline(void *matcher, const char *text) {
  if (!matcher || !text) return 0;
  const auto &fn = *static_cast<const std::function<bool(const char *)> *>(matcher);
  return fn(text) ? 1 : 0;
}

// Terminal front end: re-asks while the text does not match; an empty line or end of input
// is Cancel.
bool TerminalPrompt(const std::string &pattern, const std::function<bool(const char *)> &matches,
                    std::string *text) {
  FILE *tty = std::fopen("/dev/tty", "r+");
  if (!tty) return false;
  bool ok = false;
  char line[kPromptBufferSize];
  for (;;) {
    std::fprintf(tty, "%s [%s]: ", AnsiToUtf8("\xC7\xEB\xCA\xE4\xC8\xEB\xCC\xF5\xC2\xEB\xA3\xBA").c_str(),
                 pattern.c_str()); // "请输入条码："
    std::fflush(tty);
    if (!std::fgets(line, sizeof line, tty)) break;
    size_t n = std::strlen(line);
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
    if (n == 0) break;
    std::string ansi = Utf8ToAnsi(line);
    if (matches(ansi.c_str())) {
      *text = ansi;
      ok = true;
      break;
    }
  }
  std::fclose(tty);
  return ok;
}

} // namespace

void ShowMessageBox(const char *caption, const std::string &text) {
  const char *cap = caption ? caption : kApplicationCaption;
  NotifyMessageBoxListener(cap, text);
  QRXMessageBoxFn fn;
  void *ctx;
  {
    std::lock_guard<std::mutex> lock(g_handlerMutex);
    fn = g_messageBox;
    ctx = g_messageBoxContext;
  }
  if (fn) {
    fn(ctx, cap, text.c_str());
    return;
  }
  std::string line = "QRXInterface: " + AnsiToUtf8(cap) + ": " + AnsiToUtf8(text) + "\n";
  std::fputs(line.c_str(), stderr);
}

bool PromptSerialNumber(const std::string &pattern,
                        const std::function<bool(const char *)> &matches, std::string *text,
                        void *owner) {
  (void)owner; // the terminal prompt has no window to be modal to
  if (!text) return false;
  QRXSerialPromptFn fn;
  void *ctx;
  {
    std::lock_guard<std::mutex> lock(g_handlerMutex);
    fn = g_serialPrompt;
    ctx = g_serialPromptContext;
  }
  if (!fn) return TerminalPrompt(pattern, matches, text);
  std::vector<char> buf(kPromptBufferSize, '\0');
  auto matcher = matches;
  int r = fn(ctx, pattern.c_str(), &MatchTrampoline, &matcher, buf.data(), buf.size());
  if (r != 1) return false;
  buf.back() = '\0'; // a handler that filled the whole buffer still gives a bounded text
  // The front end enables OK only on a match, but the library checks again itself.
  if (!matches(buf.data())) return false;
  *text = buf.data();
  return true;
}

} // namespace qrx::platform

QRX_EXPORT int QRX_SetMessageBoxHandler(QRXMessageBoxFn fn, void *context) {
  std::lock_guard<std::mutex> lock(qrx::platform::g_handlerMutex);
  qrx::platform::g_messageBox = fn;
  qrx::platform::g_messageBoxContext = fn ? context : nullptr;
  return 0;
}

QRX_EXPORT int QRX_SetSerialPromptHandler(QRXSerialPromptFn fn, void *context) {
  std::lock_guard<std::mutex> lock(qrx::platform::g_handlerMutex);
  qrx::platform::g_serialPrompt = fn;
  qrx::platform::g_serialPromptContext = fn ? context : nullptr;
  return 0;
}
