// The host's test-item handler and the log-line handler: one each for the whole process.
#include "services/test_item_events.h"

#include "services/host_handler.h"

#include "interface/export_macros.h"
#include "platform/code_page.h"

#include <qrx/host_events.h>

#include <charconv>
#include <cstdint>
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

namespace {

// A plain decimal of at most 15 digits with at most 22 after the point: its digits and the
// power of ten are doubles exactly, so one division rounds correctly, as from_chars does.
bool ParseShortDecimal(const char *p, const char *end, double *number) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const bool negative = p < end && *p == '-';
  p += negative;
  int64_t digits = 0;
  int count = 0, fraction = 0;
  bool point = false;
  for (; p < end; ++p) {
    if (*p >= '0' && *p <= '9') {
      digits = digits * 10 + (*p - '0');
      fraction += point;
      if (++count > 15) return false;
    } else if (*p == '.' && !point && count > 0) {
      point = true;
    } else {
      return false;
    }
  }
  if (count == 0 || (point && fraction == 0)) return false;
  const double value = static_cast<double>(digits) / kPowers[fraction];
  *number = negative ? -value : value;
  return true;
}

} // namespace

bool TestItemEvents::ParseNumber(const std::string &text, double *number) {
  size_t begin = 0, end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  if (begin == end) return false;
  if (ParseShortDecimal(text.data() + begin, text.data() + end, number)) return true;
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
