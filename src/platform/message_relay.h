// A window that handles its messages on its own thread, in the order they arrive: the
// stand-in for the hidden progress window of an image download.
#pragma once

#include <cstdint>
#include <functional>
#include <future>

namespace qrx::platform {

class MessageRelay {
public:
  using Handler = std::function<intptr_t(unsigned message, uintptr_t wparam, intptr_t lparam)>;

  explicit MessageRelay(Handler handler);
  ~MessageRelay(); // handles what is queued, then ends the thread
  MessageRelay(const MessageRelay &) = delete;
  MessageRelay &operator=(const MessageRelay &) = delete;

  // The window handle that plug-ins receive.
  void *Window();

  // Handles the message on the relay's thread and returns the handler's result. Called on the
  // relay's thread itself, the handler runs at once.
  intptr_t Send(unsigned message, uintptr_t wparam, intptr_t lparam);
  // Queues the message; returns at once.
  void Post(unsigned message, uintptr_t wparam, intptr_t lparam);

  // The live relay behind a window handle, or null for an unknown handle.
  static MessageRelay *FromWindow(void *window);

  // Send and Post by window handle, safe against the relay being ended by another thread at
  // the same moment; an unknown handle answers 0 and drops the message.
  static intptr_t SendToWindow(void *window, unsigned message, uintptr_t wparam, intptr_t lparam);
  static void PostToWindow(void *window, unsigned message, uintptr_t wparam, intptr_t lparam);

private:
  bool Enqueue(unsigned message, uintptr_t wparam, intptr_t lparam, std::promise<intptr_t> *reply);
  bool OnRelayThread() const;

  struct State;
  State *state_;
};

} // namespace qrx::platform
