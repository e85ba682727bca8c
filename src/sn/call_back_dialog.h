// The hidden progress window of an image download: receives the BI plug-in's progress
// messages on its own thread, in arrival order, and hands each to the host's callback as an
// event record.
#pragma once

#include "platform/message_relay.h"

#include <qrx/download_event.h>

#include <atomic>
#include <cstdint>
#include <memory>

namespace qrx {

class CCallBackDialog {
public:
  // Progress messages: the window system's user-message base plus 100 to 104.
  static constexpr unsigned kUserBase = 0x400;
  static constexpr unsigned kFirstMessage = kUserBase + 100;
  static constexpr unsigned kLastMessage = kUserBase + 104;

  // The parent is kept for the window's owner; the relay's window has none of its own.
  explicit CCallBackDialog(void *parent);
  ~CCallBackDialog();
  CCallBackDialog(const CCallBackDialog &) = delete;
  CCallBackDialog &operator=(const CCallBackDialog &) = delete;

  // Replaces the callback; every message handled after this reaches the new one.
  void SetCallback(QRXDownloadCallback callback);
  QRXDownloadCallback Callback() const { return callback_.load(std::memory_order_acquire); }

  // The window handle the plug-in posts and sends its progress to.
  void *Window() { return relay_->Window(); }

  // The event record a progress message stands for; false for any other message.
  static bool EventFor(unsigned message, uintptr_t wparam, intptr_t lparam,
                       QRXDownloadEvent *event);

private:
  intptr_t OnMessage(unsigned message, uintptr_t wparam, intptr_t lparam);

  void *parent_;
  std::atomic<QRXDownloadCallback> callback_{nullptr};
  std::unique_ptr<platform::MessageRelay> relay_;
};

} // namespace qrx
