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

intptr_t MessageRelay::Send(unsigned message, uintptr_t wparam, intptr_t lparam) {
  if (std::this_thread::get_id() == state_->thread.get_id())
    return state_->handler ? state_->handler(message, wparam, lparam) : 0;
  std::promise<intptr_t> reply;
  auto answer = reply.get_future();
  {
    std::lock_guard<std::mutex> lock(state_->lock);
    if (state_->stopping) return 0;
    state_->queue.push_back({message, wparam, lparam, &reply});
  }
  state_->ready.notify_one();
  return answer.get();
}

void MessageRelay::Post(unsigned message, uintptr_t wparam, intptr_t lparam) {
  {
    std::lock_guard<std::mutex> lock(state_->lock);
    if (state_->stopping) return;
    state_->queue.push_back({message, wparam, lparam, nullptr});
  }
  state_->ready.notify_one();
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
  auto *relay = qrx::platform::MessageRelay::FromWindow(window);
  return relay ? relay->Send(message, wparam, lparam) : 0;
}

QRX_EXPORT int QRX_PostMessage(void *window, unsigned message, uintptr_t wparam, intptr_t lparam) {
  auto *relay = qrx::platform::MessageRelay::FromWindow(window);
  if (relay) relay->Post(message, wparam, lparam);
  return 1;
}
