// The live page's server: who may bind where, what needs the token, request bounds, answers
// over HTTP, the event stream and its coalescing, and the line counters.
#include "line_counters.h"
#include "line_monitor.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
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

  for (const char *a : {"0.0.0.0", "192.168.1.10"}) {
    LineMonitorOptions o = Loopback();
    o.address = a;
    LineMonitor monitor(o);
    std::string error;
    EXPECT_FALSE(monitor.Start(&error)) << a;
    EXPECT_NE(error.find("token"), std::string::npos) << error;
  }
  LineMonitor monitor(Loopback());
  std::string error;
  ASSERT_TRUE(monitor.Start(&error)) << error;
  EXPECT_GT(monitor.Port(), 0);
  EXPECT_EQ(monitor.PageUrl(), "http://127.0.0.1:" + std::to_string(monitor.Port()) + "/");
}

TEST(LineMonitor, TokenGuardsLineDataAnswersAndChanges) {
  LineMonitorOptions o = Loopback();
  o.token = "s3cret-token";
  LineMonitor monitor(o);
  ASSERT_TRUE(monitor.Start(nullptr));
  EXPECT_NE(monitor.PageUrl().find("#token=s3cret-token"), std::string::npos);
  monitor.StationStarted(1, "QRX", "QRX_FT.xml");
  uint64_t id = monitor.Prompts().Open(1, "^A+$", [](const std::string &t) { return std::regex_match(t, std::regex("A+")); });
  httplib::Client c("127.0.0.1", monitor.Port());
  c.set_read_timeout(5, 0);

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
  auto foreign = PageHeaders("s3cret-token");
  foreign.emplace("Origin", "http://evil.example");
  EXPECT_EQ(Status(c.Post("/api/answer", foreign, body, "application/json")), 403);
  EXPECT_TRUE(monitor.Prompts().IsOpen(1, id));
  EXPECT_EQ(Status(c.Post("/api/answer", PageHeaders("s3cret-token"), body, "application/json")), 200);
  auto out = monitor.Prompts().Wait(1, id);
  EXPECT_TRUE(out.answered);
  EXPECT_EQ(out.text, "AAA");
  EXPECT_EQ(out.source, AnswerSource::Page);
}

TEST(LineMonitor, AnswersOverHttpAreRecheckedAndRequestsBounded) {
  LineMonitorOptions o = Loopback();
  o.maxRequestBytes = 1024;
  o.maxStreams = 2;
  LineMonitor monitor(o);
  ASSERT_TRUE(monitor.Start(nullptr));
  httplib::Client c("127.0.0.1", monitor.Port());
  c.set_read_timeout(5, 0);
  uint64_t id = monitor.Prompts().Open(2, "^[0-9]{4}$", [](const std::string &t) {
    return std::regex_search(t, std::regex("^[0-9]{4}$"));
  });
  auto post = [&](const char *path, const std::string &text) {
    std::string body = R"({"station":2,"prompt":)" + std::to_string(id) + R"(,"text":")" + text + "\"}";
    return c.Post(path, PageHeaders(), body, "application/json");
  };
  for (const auto &[text, answer] : {std::pair{"123", "\"matches\":false"}, {"1234", "\"matches\":true"}}) {
    auto m = post("/api/match", text);
    EXPECT_TRUE(Status(m) == 200 && m->body.find(answer) != std::string::npos) << text;
  }
  // A page that enables OK wrongly still cannot pass a text the pattern refuses.
  auto a = post("/api/answer", "12a4");
  EXPECT_EQ(Status(a), 409);
  EXPECT_NE(a->body.find("no match"), std::string::npos);
  EXPECT_EQ(Status(c.Post("/api/answer", PageHeaders(), "{not json", "application/json")), 400);
  EXPECT_EQ(Status(c.Post("/api/answer", PageHeaders(), R"({"station":"2","prompt":1,"text":"1"})", "application/json")), 400);
  EXPECT_EQ(Status(c.Post("/api/answer", PageHeaders(), std::string(4096, ' '), "application/json")), 413);
  EXPECT_EQ(Status(post("/api/answer", std::string(300, '1'))), 409) << "longer than any barcode";
  EXPECT_EQ(Status(post("/api/answer", "4321")), 200);
  EXPECT_EQ(Status(post("/api/answer", "1234")), 409) << "the prompt was answered";
  EXPECT_EQ(monitor.Prompts().Wait(2, id).text, "4321");

  // A page of another site reached through a name it controls (DNS rebinding) is refused.
  EXPECT_EQ(Status(c.Get("/api/state", {{"Host", "evil.example:80"}})), 403);

  // Event streams are bounded: the third viewer is turned away while two are watching.
  std::atomic<int> connected{0};
  std::vector<std::thread> viewers;
  for (int i = 0; i < 2; ++i)
    viewers.emplace_back([&] {
      httplib::Client v("127.0.0.1", monitor.Port());
      v.set_read_timeout(10, 0);
      bool counted = false;
      v.Get("/events", [&](const char *, size_t) {
        if (!counted) connected += 1;
        counted = true;
        return true;
      });
    });
  for (int i = 0; i < 500 && connected < 2; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(connected, 2);
  EXPECT_EQ(Status(c.Get("/events")), 503);
  monitor.Stop(); // ends the streams
  for (auto &t : viewers) t.join();
}

TEST(LineMonitor, EventStreamCoalescesBurstsAndCarriesTheLatestState) {
  LineMonitorOptions o = Loopback();
  o.coalesce = 200ms;
  LineMonitor monitor(o);
  ASSERT_TRUE(monitor.Start(nullptr));
  monitor.StationStarted(1, "QRX", "QRX_FT.xml");
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
  // A burst of 3000 items from two stations within a few milliseconds.
  qrx::store::TestItemRecord item;
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

TEST(LineMonitor, PageTileDataAndCountersFollowTheStations) {
  LineMonitorOptions o = Loopback();
  o.title = "<b>Line & 1</b>";
  o.itemsPerStation = 3;
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

} // namespace
