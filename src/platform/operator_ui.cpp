// Operator messages and the serial-number prompt: handed to the host's handlers when it
// installed them (the same on every system), otherwise to the system's own front end.
#include "platform/operator_ui.h"

#include "interface/export_macros.h"

#include <qrx/host_ui.h>

#include <mutex>
#include <vector>

namespace qrx::platform {
namespace {

std::mutex g_handlerMutex;
QRXMessageBoxFn g_messageBox = nullptr;
void *g_messageBoxContext = nullptr;
QRXSerialPromptFn g_serialPrompt = nullptr;
void *g_serialPromptContext = nullptr;

int MatchTrampoline(void *matcher, const char *text) {
  if (!matcher || !text) return 0;
  const auto &fn = *static_cast<const std::function<bool(const char *)> *>(matcher);
  return fn(text) ? 1 : 0;
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
  system::DefaultMessageBox(cap, text);
}

bool PromptSerialNumber(const std::string &pattern,
                        const std::function<bool(const char *)> &matches, std::string *text,
                        void *owner) {
  if (!text) return false;
  QRXSerialPromptFn fn;
  void *ctx;
  {
    std::lock_guard<std::mutex> lock(g_handlerMutex);
    fn = g_serialPrompt;
    ctx = g_serialPromptContext;
  }
  if (!fn) return system::DefaultSerialPrompt(pattern, matches, text, owner);
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
