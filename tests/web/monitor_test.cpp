// The live page's server: who may bind where, what needs the token, request bounds, answers
// over HTTP, the event stream and its coalescing, and the line counters. Prompts answered by
// more than one front end: the first answer wins, texts are judged by the matcher whatever a
// front end claims, and nothing calls a matcher after its prompt returned.
#include "line_counters.h"
#include "line_monitor.h"
#include "prompt_broker.h"
#include "serial_prompt_bridge.h"
#include "terminal_prompt.h"

#include "platform/operator_ui.h"
#include "sn/pattern_matcher.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <pty.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <regex>
#include <thread>
#include <tuple>

using namespace qrx::web;
using namespace std::chrono_literals;

namespace {

LineMonitorOptions Loopback() {
  LineMonitorOptions o;
  o.port = 0;
  return o;
}

httplib::Headers PageHeaders(const std::string &token = {}) {
  httplib::Headers h{{"X-QRX-Request", "page"}};
  if (!token.empty()) h.emplace("X-QRX-Token", token);
  return h;
}

int Status(const httplib::Result &r) { return r ? r->status : -1; }

TEST(LineMonitor, BindsToLoopbackUnlessGivenAToken) {
  for (const char *a : {"127.0.0.1", "127.10.0.3", "localhost", "::1", "[::1]"})
    EXPECT_TRUE(LineMonitor::IsLoopback(a)) << a;
  for (const char *a : {"0.0.0.0", "192.168.1.10", "10.0.0.1", "128.0.0.1", "127.0.0", "127.0.0.1.5",
                        "127.0.0.256", "::", "127.0.0.1x", "", "localhost.example.com"})
    EXPECT_FALSE(LineMonitor::IsLoopback(a)) << a;

  LineMonitorOptions o = Loopback();
  o.address = "0.0.0.0";
  LineMonitor monitor(o);
  std::string error;
  EXPECT_FALSE(monitor.Start(&error));
  EXPECT_NE(error.find("token"), std::string::npos) << error;
}

TEST(LineMonitor, TokenGuardsLineDataAnswersAreRecheckedAndRequestsBounded) {
  LineMonitorOptions o = Loopback();
  o.token = "s3cret-token";
  o.maxRequestBytes = 1024;
  LineMonitor monitor(o);
  std::string error;
  ASSERT_TRUE(monitor.Start(&error)) << error;
  EXPECT_EQ(monitor.PageUrl(), "http://127.0.0.1:" + std::to_string(monitor.Port()) + "/#token=s3cret-token");
  monitor.StationStarted(1, "QRX", "QRX_FT.xml");
  uint64_t id = monitor.Prompts().Open(1, "^A+$", [](const std::string &t) { return std::regex_match(t, std::regex("A+")); });
  httplib::Client c("127.0.0.1", monitor.Port());
  c.set_read_timeout(5, 0);
  const httplib::Headers fromPage = PageHeaders("s3cret-token");

  // The page shell carries no line data and loads without the token.
  auto page = c.Get("/");
  ASSERT_EQ(Status(page), 200);
  EXPECT_EQ(page->body.find("QRX_FT.xml"), std::string::npos);

  for (const char *path : {"/api/state", "/report", "/events"}) EXPECT_EQ(Status(c.Get(path)), 401) << path;
  for (const char *wrong : {"s3cret-tokeX", "s3cret"}) EXPECT_EQ(Status(c.Get("/api/state", {{"X-QRX-Token", wrong}})), 401);
  auto state = c.Get("/api/state", {{"X-QRX-Token", "s3cret-token"}});
  ASSERT_EQ(Status(state), 200);
  EXPECT_NE(state->body.find("QRX_FT.xml"), std::string::npos);
  EXPECT_EQ(Status(c.Get("/api/state?token=s3cret-token")), 200);

  std::string body = R"({"station":1,"prompt":)" + std::to_string(id) + R"(,"text":"AAA"})";
  EXPECT_EQ(Status(c.Post("/api/answer", PageHeaders(), body, "application/json")), 401);
  EXPECT_TRUE(monitor.Prompts().IsOpen(1, id));
  // With the token but not from the page (another site's form or script): refused.
  EXPECT_EQ(Status(c.Post("/api/answer", {{"X-QRX-Token", "s3cret-token"}}, body, "application/json")), 403);
  auto foreign = fromPage;
  foreign.emplace("Origin", "http://evil.example");
  EXPECT_EQ(Status(c.Post("/api/answer", foreign, body, "application/json")), 403);
  EXPECT_TRUE(monitor.Prompts().IsOpen(1, id));
  EXPECT_EQ(Status(c.Post("/api/answer", fromPage, body, "application/json")), 200);
  auto out = monitor.Prompts().Wait(1, id);
  EXPECT_TRUE(out.answered);
  EXPECT_EQ(out.text, "AAA");
  EXPECT_EQ(out.source, AnswerSource::Page);

  // Answers over HTTP are judged again by the prompt's matcher, and requests are bounded.
  id = monitor.Prompts().Open(2, "^[0-9]{4}$", [](const std::string &t) {
    return std::regex_search(t, std::regex("^[0-9]{4}$"));
  });
  auto post = [&](const char *path, const std::string &text) {
    body = R"({"station":2,"prompt":)" + std::to_string(id) + R"(,"text":")" + text + "\"}";
    return c.Post(path, fromPage, body, "application/json");
  };
  for (const auto &[text, answer] : {std::pair{"123", "\"matches\":false"}, {"1234", "\"matches\":true"}}) {
    auto m = post("/api/match", text);
    EXPECT_TRUE(Status(m) == 200 && m->body.find(answer) != std::string::npos) << text;
  }
  // A page that enables OK wrongly still cannot pass a text the pattern refuses.
  auto a = post("/api/answer", "12a4");
  EXPECT_EQ(Status(a), 409);
  EXPECT_NE(a->body.find("no match"), std::string::npos);
  EXPECT_EQ(Status(c.Post("/api/answer", fromPage, "{not json", "application/json")), 400);
  EXPECT_EQ(Status(c.Post("/api/answer", fromPage, R"({"station":"2","prompt":1,"text":"1"})", "application/json")), 400);
  EXPECT_EQ(Status(c.Post("/api/answer", fromPage, std::string(4096, ' '), "application/json")), 413);
  EXPECT_EQ(Status(post("/api/answer", std::string(300, '1'))), 409) << "longer than any barcode";
  EXPECT_EQ(Status(post("/api/answer", "4321")), 200);
  EXPECT_EQ(Status(post("/api/answer", "1234")), 409) << "the prompt was answered";
  EXPECT_EQ(monitor.Prompts().Wait(2, id).text, "4321");

  // A page of another site reached through a name it controls (DNS rebinding) is refused.
  auto rebound = fromPage;
  rebound.emplace("Host", "evil.example:80");
  EXPECT_EQ(Status(c.Get("/api/state", rebound)), 403);
}

TEST(LineMonitor, TilesCountersAndTheEventStreamFollowTheStations) {
  LineMonitorOptions o = Loopback();
  o.title = "<b>Line & 1</b>";
  o.itemsPerStation = 3;
  o.coalesce = 200ms;
  o.maxStreams = 1;
  LineMonitor monitor(o);
  ASSERT_TRUE(monitor.Start(nullptr));
  monitor.StationStarted(1, "QRX", "QRX_FT.xml");
  monitor.UnitStarted(1, "u1", "");
  monitor.SerialNumberKnown(1, "<script>x</script>");
  monitor.StepStarted(1, 0, "GSM_NST_MeasPower", "1, 62, 5");
  qrx::store::TestItemRecord item;
  for (int i = 0; i < 5; ++i) {
    item.name = "I" + std::to_string(i);
    monitor.TestItem(1, item);
  }
  monitor.DownloadProgress(1, 140);
  auto views = monitor.Stations();
  ASSERT_EQ(views.size(), 1u);
  ASSERT_EQ(views[0].items.size(), 3u) << "a tile keeps the latest items";
  EXPECT_EQ(std::tie(views[0].state, views[0].serialNumber, views[0].items.front().name, views[0].downloadPercent),
            std::make_tuple("running", "<script>x</script>", "I2", 100));

  qrx::store::UnitRecord unit;
  unit.serialNumber = "A";
  unit.verdict = qrx::store::UnitVerdict::Fail;
  unit.steps.push_back({0, "GSM_NST_MeasPower", "", 2, false, 0, 0});
  unit.firstFailingStep = 0;
  monitor.UnitEnded(1, unit);
  views = monitor.Stations();
  EXPECT_EQ(std::tie(views[0].lastVerdict, views[0].lastFailure, views[0].state),
            std::make_tuple("fail", "GSM_NST_MeasPower", "idle"));
  unit.verdict = qrx::store::UnitVerdict::Pass; // the retest of A
  monitor.UnitEnded(1, unit);
  unit.serialNumber = "B";
  monitor.UnitEnded(2, unit);
  unit.verdict = qrx::store::UnitVerdict::Incomplete; // not a verdict: not counted
  monitor.UnitEnded(2, unit);
  auto f = monitor.Figures();
  EXPECT_EQ(std::tie(f.units, f.firstPassUnits, f.firstPassYield), std::make_tuple(3, 2, 0.5));
  EXPECT_EQ(monitor.Units().size(), 4u);

  httplib::Client c("127.0.0.1", monitor.Port());
  auto page = c.Get("/");
  ASSERT_EQ(Status(page), 200);
  EXPECT_NE(page->body.find("&lt;b&gt;Line &amp; 1&lt;/b&gt;"), std::string::npos);
  EXPECT_EQ(page->body.find("<b>Line"), std::string::npos);
  EXPECT_EQ(page->body.find("innerHTML"), std::string::npos) << "station texts go in as text only";
  auto report = c.Get("/report");
  ASSERT_EQ(Status(report), 200);
  EXPECT_NE(report->body.find("&lt;b&gt;Line &amp; 1&lt;/b&gt; report"), std::string::npos);

  std::string received;
  std::mutex lock;
  std::atomic<bool> done{false};
  std::thread viewer([&] {
    httplib::Client v("127.0.0.1", monitor.Port());
    v.set_read_timeout(10, 0);
    v.Get("/events", [&](const char *data, size_t n) {
      std::lock_guard<std::mutex> hold(lock);
      received.append(data, n);
      return !done;
    });
  });
  auto heard = [&] {
    std::lock_guard<std::mutex> hold(lock);
    return !received.empty();
  };
  for (int i = 0; i < 500 && !heard(); ++i) std::this_thread::sleep_for(10ms);
  // Event streams are bounded: a second viewer is turned away while one is watching.
  EXPECT_EQ(Status(httplib::Client("127.0.0.1", monitor.Port()).Get("/events")), 503);
  // A burst of 3000 items from two stations within a few milliseconds: a few events, the last
  // carrying the latest state.
  item.value = "1.00";
  item.passed = true;
  for (int i = 0; i < 3000; ++i) {
    item.name = "item" + std::to_string(i);
    monitor.TestItem(1 + i % 2, item);
  }
  std::this_thread::sleep_for(900ms);
  monitor.Stop();
  done = true;
  viewer.join();
  size_t events = 0;
  for (size_t at = 0; (at = received.find("event: line", at)) != std::string::npos; ++at) ++events;
  EXPECT_GE(events, 2u);
  EXPECT_LE(events, 8u) << "3000 changes must not make 3000 events";
  EXPECT_NE(received.rfind("item2999"), std::string::npos);
  EXPECT_NE(received.rfind("item2998"), std::string::npos);
}

TEST(LineCounters, FirstPassByUnitAndPaceOverTheLastHour) {
  const int64_t minute = 60LL * 1000000, t0 = 1796000000LL * 1000000;
  LineCounters c;
  c.UnitEnded("A", false, t0);
  c.UnitEnded("A", true, t0 + minute);   // retest: a unit, not a first pass
  c.UnitEnded("", true, t0 + 2 * minute); // no serial number: its own unit
  c.UnitEnded("B", true, t0 + 3 * minute);
  auto f = c.Figures(t0 + 3 * minute);
  EXPECT_EQ(std::tie(f.units, f.passed, f.firstPassUnits), std::make_tuple(4, 3, 3));
  EXPECT_NEAR(f.firstPassYield, 2.0 / 3.0, 1e-12);
  // Four units in three minutes: 80 an hour, not 4.
  EXPECT_NEAR(f.unitsPerHour, 80.0, 1e-9);
  // Quick units right after the start are measured over at least a minute.
  LineCounters quick;
  quick.UnitEnded("X", true, t0);
  quick.UnitEnded("Y", true, t0 + 1000);
  EXPECT_NEAR(quick.Figures(t0 + 1000).unitsPerHour, 120.0, 1e-9);
  // Two hours at one unit a minute: only the last hour counts (61 ends in the closed hour).
  LineCounters steady;
  for (int i = 0; i <= 120; ++i) steady.UnitEnded("S" + std::to_string(i), true, t0 + i * minute);
  EXPECT_NEAR(steady.Figures(t0 + 120 * minute).unitsPerHour, 61.0, 1e-9);
  EXPECT_EQ(LineCounters().Figures(t0).unitsPerHour, 0.0);
}

PromptBroker::Matcher Regex(const std::string &pattern) {
  auto re = std::make_shared<std::regex>(pattern);
  return [re](const std::string &text) { return std::regex_search(text, *re); };
}

TEST(PromptBroker, FirstAnswerWinsAndTheOtherIsWithdrawn) {
  PromptBroker broker;
  // Page and terminal answer at the same moment, many times: exactly one is accepted each time,
  // and the outcome is the accepted one's text and source.
  for (int round = 0; round < 200; ++round) {
    uint64_t id = broker.Open(1, "^.+$", Regex("^.+$"));
    std::atomic<int> go{0};
    AnswerResult page, terminal;
    std::thread a([&] { while (!go) {} page = broker.Answer(1, id, "PAGE", AnswerSource::Page); });
    std::thread b([&] { while (!go) {} terminal = broker.Answer(1, id, "TERM", AnswerSource::Terminal); });
    go = 1;
    a.join();
    b.join();
    PromptOutcome out = broker.Wait(1, id);
    ASSERT_TRUE(out.answered);
    const bool pageWon = page == AnswerResult::Accepted;
    ASSERT_EQ(pageWon ? terminal : page, AnswerResult::Closed);
    EXPECT_EQ(out.text, pageWon ? "PAGE" : "TERM");
    EXPECT_EQ(out.source, pageWon ? AnswerSource::Page : AnswerSource::Terminal);
  }
  // A cancel is an answer too: after it, a matching text is refused; an answer to another
  // prompt id or station is not an answer to this one (texts refused by the pattern or too long
  // are LineMonitor's tests, over HTTP).
  uint64_t id = broker.Open(2, "^.+$", Regex("^.+$"));
  EXPECT_EQ(broker.Answer(2, id + 1, "other", AnswerSource::Page), AnswerResult::Closed);
  EXPECT_EQ(broker.Answer(4, id, "other", AnswerSource::Page), AnswerResult::Closed);
  EXPECT_TRUE(broker.Cancel(2, id, AnswerSource::Terminal));
  EXPECT_EQ(broker.Answer(2, id, "late", AnswerSource::Page), AnswerResult::Closed);
  EXPECT_FALSE(broker.Wait(2, id).answered);

  // A station asks one thing at a time: a new prompt withdraws its older one.
  uint64_t older = broker.Open(5, "^.+$", Regex("^.+$"));
  uint64_t newer = broker.Open(5, "^.+$", Regex("^.+$"));
  EXPECT_FALSE(broker.IsOpen(5, older));
  EXPECT_EQ(broker.OpenPrompts().size(), 1u);
  broker.Shutdown();
  EXPECT_FALSE(broker.Wait(5, newer).answered);
  EXPECT_FALSE(broker.IsOpen(5, broker.Open(6, "^.+$", Regex("^.+$")))) << "after shutdown prompts open closed";
}

TEST(PromptBroker, WaitOutlastsAMatcherStillRunning) {
  // The library's matcher lives only as long as its prompt call: a page's match request still
  // running when the terminal answers must finish before the prompt returns.
  PromptBroker broker;
  std::atomic<bool> inMatcher{false}, promptReturned{false}, usedAfterReturn{false};
  uint64_t id = broker.Open(1, "^.+$", [&](const std::string &) {
    inMatcher = true;
    std::this_thread::sleep_for(100ms);
    if (promptReturned) usedAfterReturn = true;
    return true;
  });
  std::thread page([&] { broker.Matches(1, id, "x"); });
  while (!inMatcher) std::this_thread::yield();
  EXPECT_TRUE(broker.Cancel(1, id, AnswerSource::Terminal));
  broker.Wait(1, id);
  promptReturned = true;
  page.join();
  EXPECT_FALSE(usedAfterReturn);
}

// A pseudo-terminal stands in for the operator's terminal: the test types on its master side,
// in raw mode (byte for byte, with no echo and no line editing).
class Pty {
public:
  Pty() {
    termios mode{};
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0 || tcgetattr(slave_, &mode) != 0) return;
    cfmakeraw(&mode);
    tcsetattr(slave_, TCSANOW, &mode);
    name_ = ptsname(master_);
  }
  ~Pty() {
    for (int fd : {master_, slave_})
      if (fd >= 0) close(fd);
  }
  const std::string &name() const { return name_; }
  void Type(const std::string &keys) { ASSERT_EQ(write(master_, keys.data(), keys.size()), ssize_t(keys.size())); }

private:
  int master_ = -1, slave_ = -1;
  std::string name_;
};

// The terminal and the page race through the library's prompt: the operator's terminal is a
// pseudo-terminal the test types on.
TEST(SerialPromptBridge, TerminalAndPageRaceThroughTheLibrarysPrompt) {
  Pty pty;
  ASSERT_FALSE(pty.name().empty());
  TerminalPrompt terminal(pty.name());
  PromptBroker broker;
  SerialPromptBridge::Options options;
  options.terminal = [&](int station, const std::string &pattern, const std::function<bool(const std::string &)> &matches,
                         const std::function<bool()> &withdrawn, std::string *text) {
    return terminal.Ask(station, pattern, matches, withdrawn, text);
  };
  SerialPromptBridge bridge(broker, options);
  QRX_SetSerialPromptHandler(&SerialPromptBridge::Handler, &bridge);
  SerialPromptBridge::SetThreadStation(7);
  qrx::PatternMatcher matcher("^[0-9A-Za-z]{10}$");
  auto matches = [&](const char *t) { return matcher.Matches(t); };

  // The terminal is quick: a wrong line is asked again, the matching line is the answer as typed,
  // and an empty line cancels.
  std::string text;
  pty.Type("12345\nTERM123456\r\n");
  ASSERT_TRUE(qrx::platform::PromptSerialNumber("^[0-9A-Za-z]{10}$", matches, &text));
  EXPECT_EQ(text, "TERM123456");
  pty.Type("\n");
  EXPECT_FALSE(qrx::platform::PromptSerialNumber("^[0-9A-Za-z]{10}$", matches, &text));

  // The page is quick: the terminal gives way within its poll interval without a line typed, and
  // the page's text comes back as typed.
  std::thread page([&] {
    for (; broker.OpenPrompts().empty(); std::this_thread::sleep_for(2ms)) {}
    const OpenPrompt open = broker.OpenPrompts()[0];
    EXPECT_EQ(open.station, 7);
    EXPECT_EQ(broker.Answer(7, open.id, "short", AnswerSource::Page), AnswerResult::NoMatch);
    std::this_thread::sleep_for(250ms); // the terminal waits more than a poll interval for a line
    EXPECT_EQ(broker.Answer(7, open.id, "Page000001", AnswerSource::Page), AnswerResult::Accepted);
  });
  const auto start = std::chrono::steady_clock::now();
  text.clear();
  ASSERT_TRUE(qrx::platform::PromptSerialNumber("^[0-9A-Za-z]{10}$", matches, &text));
  page.join();
  EXPECT_EQ(text, "Page000001");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  QRX_SetSerialPromptHandler(nullptr, nullptr);
  EXPECT_EQ(TerminalPrompt("/nonexistent/tty").Ask(1, "", [](const std::string &) { return true; }, nullptr, &text),
            TerminalOutcome::Unavailable);
}

} // namespace
