// One C handler that a host installs for the whole process (test items, log lines): installed
// and removed under a lock while stations call it; each call counts itself on the handler it
// runs, so a removal waits until the old handler has returned everywhere (except in the
// thread that removes it from inside the handler).
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace qrx {

template <typename Event> class HostHandler {
public:
  using Fn = void (*)(void *context, const Event *event);

  // Costs one atomic load when no handler is installed.
  bool Installed() const { return installed_.load(std::memory_order_acquire); }

  // Calls the installed handler with the event that make() builds, if a handler is installed.
  template <typename Make> void Call(Make &&make) {
    if (!Installed()) return;
    std::shared_ptr<Installation> handler;
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (!current_) return;
      handler = current_;
      ++handler->running;
    }
    RunningCall call(*this, handler);
    make([&](const Event &event) { handler->fn(handler->context, &event); });
  }

  // Installs fn (null removes the handler); returns when the previous one runs nowhere else.
  void Install(Fn fn, void *context) {
    std::shared_ptr<Installation> next;
    if (fn) next = std::make_shared<Installation>(Installation{fn, context, 0});
    std::unique_lock<std::mutex> lock(lock_);
    std::shared_ptr<Installation> previous = std::exchange(current_, next);
    installed_.store(next != nullptr, std::memory_order_release);
    if (previous) {
      // A handler replacing itself from inside its own call cannot wait for that call.
      const int own = static_cast<int>(std::count(Inside().begin(), Inside().end(), previous.get()));
      idle_.wait(lock, [&] { return previous->running <= own; });
    }
  }

private:
  struct Installation {
    Fn fn = nullptr;
    void *context = nullptr;
    int running = 0; // calls in progress, under lock_
  };
  // The handlers this thread is inside of, innermost last.
  static std::vector<const Installation *> &Inside() {
    thread_local std::vector<const Installation *> inside;
    return inside;
  }
  class RunningCall {
  public:
    RunningCall(HostHandler &owner, std::shared_ptr<Installation> handler)
        : owner_(owner), handler_(std::move(handler)) {
      Inside().push_back(handler_.get());
    }
    ~RunningCall() {
      Inside().pop_back();
      {
        std::lock_guard<std::mutex> hold(owner_.lock_);
        --handler_->running;
      }
      owner_.idle_.notify_all();
    }
    RunningCall(const RunningCall &) = delete;
    RunningCall &operator=(const RunningCall &) = delete;

  private:
    HostHandler &owner_;
    std::shared_ptr<Installation> handler_;
  };

  std::mutex lock_;
  std::condition_variable idle_;
  std::shared_ptr<Installation> current_;
  std::atomic<bool> installed_{false};
};

} // namespace qrx
