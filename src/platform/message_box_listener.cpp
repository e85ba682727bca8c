// The one listener told of message boxes, the same on every system.
#include "platform/operator_ui.h"

#include <atomic>

namespace qrx::platform {
namespace {
std::atomic<MessageBoxListener> g_listener{nullptr};
} // namespace

void SetMessageBoxListener(MessageBoxListener listener) {
  g_listener.store(listener, std::memory_order_release);
}

void NotifyMessageBoxListener(const char *caption, const std::string &text) {
  if (MessageBoxListener listener = g_listener.load(std::memory_order_acquire))
    listener(caption, text);
}

} // namespace qrx::platform
