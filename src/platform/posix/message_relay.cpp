// Message relay thread and the exports through which plug-ins reach a relay's window.
#include "platform/message_relay.h"

#include "interface/export_macros.h"

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <set>
#include <thread>

namespace qrx::platform {
namespace {
std::mutex g_liveLock;
std::set<MessageRelay *> g_live;
} // namespace

struct MessageRelay::State {
  struct Item {
    unsigned message;
    uintptr_t wparam;
    intptr_t lparam;
    std::promise<intptr_t> *reply; // null for a posted message
  };
  Handler handler;
  std::mutex lock;
  std::condition_variable ready;
  std::deque<Item> queue;
  bool stopping = false;
  std::thread thread;
};

MessageRelay::MessageRelay(Handler handler) : state_(new State) {
  state_->handler = std::move(handler);
  state_->thread = std::thread([s = state_] {
    std::unique_lock<std::mutex> lock(s->lock);
    for (;;) {
      s->ready.wait(lock, [s] { return s->stopping || !s->queue.empty(); });
      if (s->queue.empty()) return;
      State::Item item = s->queue.front();
      s->queue.pop_front();
      lock.unlock();
      intptr_t result = s->handler ? s->handler(item.message, item.wparam, item.lparam) : 0;
      if (item.reply) item.reply->set_value(result);
      lock.lock();
    }
  });
  std::lock_guard<std::mutex> lock(g_liveLock);
  g_live.insert(this);
}

MessageRelay::~MessageRelay() {
  {
    std::lock_guard<std::mutex> lock(g_liveLock);
    g_live.erase(this);
  }
  {
    std::lock_guard<std::mutex> lock(state_->lock);
    state_->stopping = true;
  }
  state_->ready.notify_all();
  if (state_->thread.joinable()) {
    if (state_->thread.get_id() == std::this_thread::get_id()) state_->thread.detach();
    else state_->thread.join();
  }
  delete state_;
}

// Notifying under the relay's lock keeps the condition variable alive until the notify is
// done: the destructor takes the same lock before it can end the relay.
bool MessageRelay::Enqueue(unsigned message, uintptr_t wparam, intptr_t lparam,
                           std::promise<intptr_t> *reply) {
  std::lock_guard<std::mutex> lock(state_->lock);
  if (state_->stopping) return false;
  state_->queue.push_back({message, wparam, lparam, reply});
  state_->ready.notify_one();
  return true;
}

void *MessageRelay::Window() { return this; }

bool MessageRelay::OnRelayThread() const {
  return std::this_thread::get_id() == state_->thread.get_id();
}

intptr_t MessageRelay::Send(unsigned message, uintptr_t wparam, intptr_t lparam) {
  if (OnRelayThread()) return state_->handler ? state_->handler(message, wparam, lparam) : 0;
  std::promise<intptr_t> reply;
  auto answer = reply.get_future();
  if (!Enqueue(message, wparam, lparam, &reply)) return 0;
  return answer.get();
}

void MessageRelay::Post(unsigned message, uintptr_t wparam, intptr_t lparam) {
  Enqueue(message, wparam, lparam, nullptr);
}

// The window is looked up and the message queued under the registry lock, so a relay that
// another thread is ending cannot go away between the lookup and the queueing. The wait
// for the answer happens outside it: the relay thread drains its queue before it ends.
intptr_t MessageRelay::SendToWindow(void *window, unsigned message, uintptr_t wparam,
                                    intptr_t lparam) {
  std::promise<intptr_t> reply;
  auto answer = reply.get_future();
  MessageRelay *self = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_liveLock);
    auto it = g_live.find(static_cast<MessageRelay *>(window));
    if (it == g_live.end()) return 0;
    // On its own thread the relay cannot be ended while its handler runs.
    if ((*it)->OnRelayThread()) self = *it;
    else if (!(*it)->Enqueue(message, wparam, lparam, &reply)) return 0;
  }
  if (self) return self->state_->handler ? self->state_->handler(message, wparam, lparam) : 0;
  return answer.get();
}

void MessageRelay::PostToWindow(void *window, unsigned message, uintptr_t wparam,
                                intptr_t lparam) {
  std::lock_guard<std::mutex> lock(g_liveLock);
  auto it = g_live.find(static_cast<MessageRelay *>(window));
  if (it != g_live.end()) (*it)->Enqueue(message, wparam, lparam, nullptr);
}

MessageRelay *MessageRelay::FromWindow(void *window) {
  std::lock_guard<std::mutex> lock(g_liveLock);
  auto it = g_live.find(static_cast<MessageRelay *>(window));
  return it == g_live.end() ? nullptr : *it;
}

} // namespace qrx::platform

// A message to a window that does not exist (or no longer exists) is dropped and answered 0,
// as the window system does for an invalid handle.
QRX_EXPORT intptr_t QRX_SendMessage(void *window, unsigned message, uintptr_t wparam,
                                    intptr_t lparam) {
  return qrx::platform::MessageRelay::SendToWindow(window, message, wparam, lparam);
}

QRX_EXPORT int QRX_PostMessage(void *window, unsigned message, uintptr_t wparam, intptr_t lparam) {
  qrx::platform::MessageRelay::PostToWindow(window, message, wparam, lparam);
  return 1;
}
