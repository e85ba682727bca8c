// The host's test-item and log-line handlers inside the library: what a record holds, when it
// arrives, and installing and removing the handler while stations log on their threads.
#include "services/qrx_log_service.h"
#include "services/test_item_events.h"

#include <qrx/host_events.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using qrx::CQRXLogService;

struct Seen {
  int threadIndex;
  std::string source, item, value, upper, lower, verdict;
  std::optional<double> valueNumber, upperNumber, lowerNumber;
  int passed, tag;
  int64_t monotonicNs, wallUs;
  size_t linesBefore; // observer lines heard when the record arrived
};

// What a handler heard, with the observer lines counted when each record arrived.
template <typename Record> struct Heard {
  std::vector<Record> seen;
  const size_t *lines = nullptr;
};
using Collector = Heard<Seen>;

std::optional<double> Number(int has, double value) {
  return has ? std::optional<double>(value) : std::nullopt;
}

void Collect(void *context, const QRXTestItemEvent *e) {
  auto *c = static_cast<Collector *>(context);
  c->seen.push_back({e->thread_index, e->source, e->item, e->value, e->upper, e->lower,
                     e->verdict, Number(e->has_value_number, e->value_number),
                     Number(e->has_upper_number, e->upper_number),
                     Number(e->has_lower_number, e->lower_number), e->passed, e->tag,
                     e->monotonic_ns, e->wall_us, c->lines ? *c->lines : 0});
}

struct CountingObserver : ILogObserver {
  void OnLog(int, std::string) override { ++lines; }
  size_t lines = 0;
};

struct Line {
  int threadIndex, level;
  std::string ansi, utf8;
  size_t linesBefore;
};
void CollectLine(void *context, const QRXLogLineEvent *e) {
  auto *c = static_cast<Heard<Line> *>(context);
  c->seen.push_back({e->thread_index, e->level, e->line, e->line_utf8, *c->lines});
}

class TestItemHandler : public ::testing::Test {
protected:
  void TearDown() override {
    QRX_SetTestItemHandler(nullptr, nullptr);
    QRX_SetLogLineHandler(nullptr, nullptr);
  }
};

TEST_F(TestItemHandler, RecordCarriesTheLineTextsAsUtf8WithNumbersAndFollowsTheObservers) {
  CQRXLogService log(7);
  CountingObserver observer;
  log.AddObserver(&observer);
  Collector c;
  c.lines = &observer.lines;
  ASSERT_EQ(QRX_SetTestItemHandler(&Collect, &c), 0);
  Heard<Line> lines; // the log-line handler hears every observer line, after the observers
  lines.lines = &observer.lines;
  ASSERT_EQ(QRX_SetLogLineHandler(&CollectLine, &lines), 0);

  // GBK item name (功率) and the all-real form: the texts are the line's two-decimal texts.
  EXPECT_EQ(log.LogTestItem("Cal", "\xB9\xA6\xC2\xCA", 1.234, 1.5, 0.5, 1, 42), 0);
  EXPECT_EQ(log.LogTestItem("GsmFt", "RxLev", -3, 10, -10, 0, 0), 0);
  ASSERT_EQ(c.seen.size(), 2u);
  const Seen &a = c.seen[0], &b = c.seen[1];
  // 功率 in UTF-8; the observer had its line first.
  EXPECT_EQ(std::tie(a.threadIndex, a.source, a.item, a.value, a.upper, a.lower, a.verdict),
            std::make_tuple(7, "Cal", "\xE5\x8A\x9F\xE7\x8E\x87", "1.23", "1.50", "0.50", "PASS"));
  EXPECT_EQ(std::tie(a.valueNumber, a.upperNumber, a.lowerNumber), std::make_tuple(1.23, 1.5, 0.5));
  EXPECT_EQ(std::tie(a.passed, a.tag, a.linesBefore), std::make_tuple(1, 42, 1u));
  EXPECT_EQ(std::tie(b.value, b.valueNumber, b.verdict, b.passed), std::make_tuple("-3", -3.0, "FAIL", 0));
  EXPECT_GE(b.monotonicNs, a.monotonicNs);
  const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::system_clock::now().time_since_epoch()).count();
  EXPECT_LE(b.wallUs, now);
  EXPECT_GT(b.wallUs, now - 60'000'000);

  // Refused items reach neither the observers nor the handler; messages are no test items.
  EXPECT_EQ(log.LogTestItem("Cal", "x", "1'0", "2", "0", "PASS", 0), -1);
  EXPECT_EQ(log.LogTestItem("Cal", "x", 1, 2.0, 0.0, 1, 0), 0);
  log.LogMessage("Cal", "hello", 1, 0);
  EXPECT_EQ(c.seen.size(), 3u);
  EXPECT_EQ(observer.lines, 4u);
  ASSERT_EQ(lines.seen.size(), 4u);
  for (size_t i = 0; i < lines.seen.size(); ++i)
    EXPECT_EQ(std::tie(lines.seen[i].threadIndex, lines.seen[i].linesBefore), std::make_tuple(7, i + 1));
  EXPECT_EQ(lines.seen[0].level, QRX_LOG_LEVEL_TEST_ITEM);
  EXPECT_NE(lines.seen[0].ansi.find("\xB9\xA6\xC2\xCA"), std::string::npos);
  EXPECT_NE(lines.seen[0].utf8.find("\xE5\x8A\x9F\xE7\x8E\x87"), std::string::npos);
  EXPECT_EQ(std::tie(lines.seen[3].level, lines.seen[3].ansi, lines.seen[3].utf8),
            std::make_tuple(1, "hello", "hello"));
}

// A handler that replaces itself from inside its call, and one that removes itself; what the
// new one hears: texts that are no whole number have no number, verdicts are as logged.
TEST_F(TestItemHandler, HandlerMayReplaceOrRemoveItselfFromInsideAndTextsStayAsLogged) {
  CQRXLogService log(1);
  static int calls = 0;
  static Collector c;
  QRX_SetTestItemHandler([](void *, const QRXTestItemEvent *) {
    ++calls;
    QRX_SetTestItemHandler(&Collect, &c);
  }, nullptr);
  log.LogTestItem("s", "first", 1, 2, 0, 1, 0);
  log.LogTestItem("s", "a", " 5 ", "+2e3", "N/A", "pass", 0);
  log.LogTestItem("s", "b", "1.5dB", "", "inf", "PASSED", 0);
  log.LogTestItem("s", "c", "+-1", "0x10", "-0.25", "Fail", 0);
  EXPECT_EQ(calls, 1);
  ASSERT_EQ(c.seen.size(), 3u);
  using Numbers = std::tuple<std::optional<double>, std::optional<double>, std::optional<double>>;
  const Numbers numbers[] = {{5.0, 2000.0, std::nullopt}, {}, {std::nullopt, std::nullopt, -0.25}};
  for (size_t i = 0; i < 3; ++i) {
    const Seen &e = c.seen[i];
    EXPECT_EQ(std::tie(e.valueNumber, e.upperNumber, e.lowerNumber), numbers[i]) << i;
    EXPECT_EQ(e.passed, i == 0 ? 1 : 0) << i;
  }
  EXPECT_EQ(std::tie(c.seen[0].item, c.seen[0].value, c.seen[0].verdict),
            std::make_tuple("a", " 5 ", "pass"));
  QRX_SetTestItemHandler([](void *, const QRXTestItemEvent *) {
    ++calls;
    QRX_SetTestItemHandler(nullptr, nullptr);
  }, nullptr);
  log.LogTestItem("s", "d", 1, 2, 0, 1, 0);
  log.LogTestItem("s", "e", 1, 2, 0, 1, 0);
  EXPECT_EQ(calls, 2);
}

// Removing the handler returns only after its running call returned on another thread, so the
// host may free the context at once.
TEST_F(TestItemHandler, RemovalWaitsForTheRunningCall) {
  struct Context {
    std::atomic<bool> entered{false}, removing{false}, removed{false};
    bool removedBeforeReturn = true;
  } context;
  QRX_SetTestItemHandler([](void *p, const QRXTestItemEvent *) {
    auto *c = static_cast<Context *>(p);
    c->entered = true;
    while (!c->removing) std::this_thread::yield();
    // Give the removal every chance to return early if it did not wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    c->removedBeforeReturn = c->removed;
  }, &context);
  std::thread station([] {
    CQRXLogService log(2);
    log.LogTestItem("s", "a", 1, 2, 0, 1, 0);
  });
  while (!context.entered) std::this_thread::yield();
  context.removing = true;
  QRX_SetTestItemHandler(nullptr, nullptr);
  context.removed = true;
  station.join();
  EXPECT_FALSE(context.removedBeforeReturn);
}

// Stations log on their threads while the host swaps handlers: a handler is never called after
// the call that replaced it returned.
TEST_F(TestItemHandler, SwappingHandlersWhileStationsLog) {
  struct Context {
    std::atomic<bool> retired{false};
    std::atomic<int> calls{0}, lateCalls{0};
  };
  constexpr int kStations = 4, kItems = 2000, kSwaps = 300;
  std::vector<Context> contexts(kSwaps);
  auto handler = [](void *p, const QRXTestItemEvent *e) {
    auto *c = static_cast<Context *>(p);
    if (c->retired) ++c->lateCalls;
    if (e->thread_index >= 0 && e->item[0] == 'i') ++c->calls;
  };
  std::atomic<bool> start{false};
  std::vector<std::thread> stations;
  for (int s = 0; s < kStations; ++s)
    stations.emplace_back([&, s] {
      CQRXLogService log(s);
      while (!start) std::this_thread::yield();
      for (int i = 0; i < kItems; ++i) log.LogTestItem("s", "item", i, 1.0, 0.0, 1, 0);
    });
  start = true;
  for (int k = 0; k < kSwaps; ++k) {
    QRX_SetTestItemHandler(k % 3 == 2 ? nullptr : +handler, &contexts[k]);
    if (k > 0) contexts[k - 1].retired = true;
  }
  for (auto &t : stations) t.join();
  QRX_SetTestItemHandler(nullptr, nullptr);
  int late = 0, calls = 0;
  for (const Context &c : contexts) {
    late += c.lateCalls;
    calls += c.calls;
  }
  EXPECT_EQ(late, 0);
  EXPECT_LE(calls, kStations * kItems); // no record reaches two handlers
}

} // namespace
