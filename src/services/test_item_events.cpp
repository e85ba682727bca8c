// The host's test-item handler: installed and removed under a lock while stations log; each
// call counts itself on the handler it runs, so a removal waits until the old handler has
// returned everywhere (except in the thread that removes it from inside the handler).
#include "services/test_item_events.h"

#include "interface/export_macros.h"
#include "platform/code_page.h"

#include <qrx/host_events.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

namespace qrx {
namespace {

struct InstalledHandler {
  QRXTestItemFn fn = nullptr;
  void *context = nullptr;
  int running = 0; // calls in progress, under g_lock
};

std::mutex g_lock;
std::condition_variable g_idle;
std::shared_ptr<InstalledHandler> g_current;
std::atomic<bool> g_installed{false};
// The handlers this thread is inside of, innermost last.
thread_local std::vector<const InstalledHandler *> t_inside;

bool IsPass(const std::string &verdict) {
  static constexpr char kPass[] = "PASS";
  if (verdict.size() != 4) return false;
  for (size_t i = 0; i < 4; ++i)
    if ((verdict[i] & ~0x20) != kPass[i]) return false;
  return true;
}

class RunningCall {
public:
  explicit RunningCall(std::shared_ptr<InstalledHandler> handler) : handler_(std::move(handler)) {
    t_inside.push_back(handler_.get());
  }
  ~RunningCall() {
    t_inside.pop_back();
    {
      std::lock_guard<std::mutex> hold(g_lock);
      --handler_->running;
    }
    g_idle.notify_all();
  }
  RunningCall(const RunningCall &) = delete;
  RunningCall &operator=(const RunningCall &) = delete;

private:
  std::shared_ptr<InstalledHandler> handler_;
};

// Most texts of a test item are ASCII, which every ANSI code page shares with UTF-8: those
// skip the conversion.
std::string ToUtf8(const std::string &ansi) {
  for (char c : ansi)
    if (static_cast<unsigned char>(c) >= 0x80) return platform::AnsiToUtf8(ansi);
  return ansi;
}

} // namespace

bool TestItemEvents::ParseNumber(const std::string &text, double *number) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return false;
  size_t end = text.find_last_not_of(" \t") + 1;
  if (text[begin] == '+') {
    ++begin;
    if (begin >= end || text[begin] == '-') return false;
  }
  double parsed = 0;
  auto [stop, ec] = std::from_chars(text.data() + begin, text.data() + end, parsed);
  if (ec != std::errc() || stop != text.data() + end || !std::isfinite(parsed)) return false;
  *number = parsed;
  return true;
}

void TestItemEvents::Publish(int threadIndex, const std::string &source, const std::string &item,
                             const std::string &value, const std::string &upper,
                             const std::string &lower, const std::string &verdict, int tag) {
  if (!g_installed.load(std::memory_order_acquire)) return;
  std::shared_ptr<InstalledHandler> handler;
  {
    std::lock_guard<std::mutex> hold(g_lock);
    if (!g_current) return;
    handler = g_current;
    ++handler->running;
  }
  RunningCall call(handler);

  const std::string texts[] = {ToUtf8(source), ToUtf8(item),  ToUtf8(value),
                               ToUtf8(upper),  ToUtf8(lower), ToUtf8(verdict)};
  QRXTestItemEvent event{};
  event.struct_size = sizeof event;
  event.thread_index = threadIndex;
  event.source = texts[0].c_str();
  event.item = texts[1].c_str();
  event.value = texts[2].c_str();
  event.upper = texts[3].c_str();
  event.lower = texts[4].c_str();
  event.has_value_number = ParseNumber(value, &event.value_number) ? 1 : 0;
  event.has_upper_number = ParseNumber(upper, &event.upper_number) ? 1 : 0;
  event.has_lower_number = ParseNumber(lower, &event.lower_number) ? 1 : 0;
  event.verdict = texts[5].c_str();
  event.passed = IsPass(verdict) ? 1 : 0;
  event.tag = tag;
  event.monotonic_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
  event.wall_us = std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
  handler->fn(handler->context, &event);
}

} // namespace qrx

QRX_EXPORT int QRX_SetTestItemHandler(QRXTestItemFn fn, void *context) {
  using namespace qrx;
  std::shared_ptr<InstalledHandler> next;
  if (fn) {
    next = std::make_shared<InstalledHandler>();
    next->fn = fn;
    next->context = context;
  }
  std::unique_lock<std::mutex> lock(g_lock);
  std::shared_ptr<InstalledHandler> previous = std::exchange(g_current, next);
  g_installed.store(next != nullptr, std::memory_order_release);
  if (previous) {
    // A handler replacing itself from inside its own call cannot wait for that call.
    const int own = static_cast<int>(std::count(t_inside.begin(), t_inside.end(), previous.get()));
    g_idle.wait(lock, [&] { return previous->running <= own; });
  }
  return 0;
}
