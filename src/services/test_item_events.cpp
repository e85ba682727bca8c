// The host's test-item handler and the log-line handler: one each for the whole process.
#include "services/test_item_events.h"

#include "services/host_handler.h"

#include "interface/export_macros.h"
#include "platform/code_page.h"

#include <qrx/host_events.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <system_error>

namespace qrx {
namespace {

HostHandler<QRXTestItemEvent> &Handler() {
  static HostHandler<QRXTestItemEvent> handler;
  return handler;
}
HostHandler<QRXLogLineEvent> &LineHandler() {
  static HostHandler<QRXLogLineEvent> handler;
  return handler;
}

bool IsPass(const std::string &verdict) {
  static constexpr char kPass[] = "PASS";
  if (verdict.size() != 4) return false;
  for (size_t i = 0; i < 4; ++i)
    if ((verdict[i] & ~0x20) != kPass[i]) return false;
  return true;
}

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
  Handler().Call([&](const auto &deliver) {
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
    deliver(event);
  });
}

void TestItemEvents::PublishLine(int threadIndex, int level, const std::string &line) {
  LineHandler().Call([&](const auto &deliver) {
    const std::string utf8 = ToUtf8(line);
    QRXLogLineEvent event{};
    event.struct_size = sizeof event;
    event.thread_index = threadIndex;
    event.level = level;
    event.line = line.c_str();
    event.line_utf8 = utf8.c_str();
    deliver(event);
  });
}

} // namespace qrx

QRX_EXPORT int QRX_SetLogLineHandler(QRXLogLineFn fn, void *context) {
  qrx::LineHandler().Install(fn, context);
  return 0;
}

QRX_EXPORT int QRX_SetTestItemHandler(QRXTestItemFn fn, void *context) {
  qrx::Handler().Install(fn, context);
  return 0;
}
