// Lines, levels and refusals of the log service, its observer list, observers coming and going
// while the station's thread logs (run under TSan), and the log and locale services as a test
// library and a host reach them through the hub.
#include "hub/qrx_test_tools.h"
#include "recording_observer.h"
#include "services/qrx_log_service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <thread>

namespace qrx {
namespace {

using test::Heard;
using test::ItemLine;
using test::RecordingObserver;

struct ServiceDeleter {
  void operator()(CQRXLogService *service) const { service->Release(); }
};

class LogServiceTest : public ::testing::Test {
protected:
  void SetUp() override { log_->AddObserver(&host_); }
  // Test libraries hold the interface, not the class.
  IMyLogServer *Log() { return log_.get(); }
  std::vector<Heard> &Heard_() { return host_.heard; }

  std::unique_ptr<CQRXLogService, ServiceDeleter> log_{new CQRXLogService()};
  RecordingObserver host_;
};

std::string Printed(double value) {
  char text[400];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

// Each overload formats its own types, in full however long the text, with no line end, and
// reals with a point whatever the host's locale (a host may switch to a decimal comma).
TEST_F(LogServiceTest, EveryOverloadFormatsItsOwnTypesWholeAndWithoutOverflow) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double huge = std::numeric_limits<double>::max();
  const int least = std::numeric_limits<int>::min(), most = std::numeric_limits<int>::max();
  const std::string big = Printed(1e300), max = Printed(huge);
  ASSERT_EQ(big.size(), 304u);
  const std::string item(100000, 'I'), value(70000, 'v');
  ILogService *log = Log();
  const std::pair<std::function<int()>, std::string> cases[] = {
      {[&] { return log->LogTestItem("s", "VSWR", 1.234, 1.5, 0.5, 1, 0); },
       ItemLine("VSWR", "1.23", "1.50", "0.50", "PASS")},
      {[&] { return log->LogTestItem("s", "Cnt", -3, 5, -5, 0, 0); },
       ItemLine("Cnt", "-3", "5", "-5", "FAIL")},
      // -0.004 rounds to a negative zero, which printf-style formatting keeps as "-0.00".
      {[&] { return log->LogTestItem("s", "Pwr", 7, 33.456, -0.004, 2, 0); },
       ItemLine("Pwr", "7", "33.46", "-0.00", "PASS")},
      // 2.675 is stored a little below itself, so it rounds down as printf rounds it.
      {[&] { return log->LogTestItem("s", "Freq", 2.675, 10, -10, -1, 0); },
       ItemLine("Freq", "2.67", "10", "-10", "PASS")},
      {[&] { return log->LogTestItem("s", "", "", "", "", "", 5); }, ItemLine("", "", "", "", "")},
      {[&] { return log->LogTestItem("s", "a b", "\xB5\xE7", "x\ty", "-", "MAYBE", 5); },
       ItemLine("a b", "\xB5\xE7", "x\ty", "-", "MAYBE")},
      {[&] { return log->LogTestItem("s", "big", 1e300, -huge, huge, 1, 0); },
       ItemLine("big", big, "-" + max, max, "PASS")},
      {[&] { return log->LogTestItem("s", "odd", nan, inf, -inf, 0, 0); },
       ItemLine("odd", "nan", "inf", "-inf", "FAIL")},
      {[&] { return log->LogTestItem("s", "ints", least, most, 0, 1, 0); },
       ItemLine("ints", "-2147483648", "2147483647", "0", "PASS")},
      {[&] { return log->LogTestItem("s", item, value, "u", "l", "PASS", 0); },
       ItemLine(item, value, "u", "l", "PASS")},
  };
  const char *old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  for (const char *comma : {"de_DE.UTF-8", "fr_FR.UTF-8", "German_Germany.1252"})
    if (std::setlocale(LC_NUMERIC, comma)) break;
  for (const auto &[call, line] : cases) {
    Heard_().clear();
    EXPECT_EQ(call(), 0);
    EXPECT_EQ(Heard_(), (std::vector<Heard>{{QRX_LOG_LEVEL_TEST_ITEM, line}})) << line.substr(0, 40);
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
}

// The source is checked too, although it never reaches a line.
TEST_F(LogServiceTest, DollarOrApostropheInAnyTextIsRefusedAndNothingIsSent) {
  ILogService *log = Log();
  const std::vector<std::string> texts = {"s", "i", "v", "u", "l", "PASS"};
  for (size_t at = 0; at < texts.size(); ++at)
    for (const char *bad : {"1'2", "$5"}) {
      std::vector<std::string> t = texts;
      t[at] = bad;
      EXPECT_EQ(log->LogTestItem(t[0], t[1], t[2], t[3], t[4], t[5], 0), -1) << at << bad;
    }
  // The numeric overloads pass the refusal of their item name on.
  EXPECT_EQ(log->LogTestItem("s", "it's", 1, 2.0, 0.0, 1, 0), -1);
  EXPECT_EQ(log->LogTestItem("s", "$i", 1.0, 2, 0, 1, 0), -1);
  EXPECT_EQ(log->LogTestItem("s", "'", 1.0, 2.0, 0.0, 1, 0), -1);
  EXPECT_EQ(log->LogTestItem("s'", "i", 1, 2, 0, 1, 0), -1);
  EXPECT_TRUE(Heard_().empty());
  // Other punctuation passes.
  EXPECT_EQ(log->LogTestItem("s", "\"q\"%d\\", "v", "u", "l", "PASS", 0), 0);
  EXPECT_EQ(Heard_().size(), 1u);
}

TEST_F(LogServiceTest, MessagesKeepTheirLevelAndTextAndNeverCarrySourceOrTag) {
  IMyLogServer *log = Log();
  const int levels[] = {0, 1, 16, -1, std::numeric_limits<int>::min(),
                        std::numeric_limits<int>::max()};
  for (int level : levels) EXPECT_EQ(log->LogMessage("SOURCE", "text", level, 12345), 0);
  EXPECT_EQ(log->Write("SOURCE", 3, 1, 2, "raw", 77), 0);
  ASSERT_EQ(Heard_().size(), std::size(levels) + 1);
  for (std::size_t i = 0; i < std::size(levels); ++i)
    EXPECT_EQ(Heard_()[i], (Heard{levels[i], "text"}));
  EXPECT_EQ(Heard_().back(), (Heard{3, "raw"}));
  // A message is not a test item: its texts are not checked for '$' or '\''.
  EXPECT_EQ(log->LogMessage("$", "cost $5, it's", 2, 0), 0);
  EXPECT_EQ(Heard_().back(), (Heard{2, "cost $5, it's"}));
  EXPECT_EQ(log->LogTestItem("SOURCE", "i", 1, 2, 3, 1, 12345), 0);
  EXPECT_EQ(Heard_().back().line.find("SOURCE"), std::string::npos);
  EXPECT_EQ(Heard_().back().line.find("12345"), std::string::npos);
  std::string text(1 << 20, 'm');
  text[12345] = '\0'; // an embedded zero byte is part of the text too
  EXPECT_EQ(log->LogMessage("s", text, 1, 0), 0);
  EXPECT_EQ(Heard_().back().line, text);
  // The unnamed slots give their fixed answers and log nothing.
  const size_t heard = Heard_().size();
  EXPECT_EQ(log->Reserved0(), nullptr);
  EXPECT_EQ((std::vector<int>{log->Reserved2(-9), log->Reserved3(), log->Reserved11(1),
                              log->Reserved12(1), log->Reserved13(1), log->Reserved14("x", 1),
                              log->Reserved15("x", 1), log->Reserved16(0)}),
            (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 2}));
  EXPECT_EQ(Heard_().size(), heard);
}

TEST(LogObserverList, OrderDuplicatesAndRemoval) {
  CQRXLogService log;
  EXPECT_EQ(log.LogTestItem("s", "i", 1, 2, 3, 1, 0), 0) << "no observers still succeeds";
  EXPECT_EQ(log.Write("s", 1, 0, 0, "t", 0), 0);
  EXPECT_EQ(log.RemoveObserver(nullptr), 1);
  EXPECT_EQ(log.AddObserver(nullptr), 1);
  EXPECT_EQ(log.LogMessage("s", "after a null observer", 1, 0), 0) << "null is never called";
  std::vector<int> order;
  RecordingObserver a, b, c;
  a.then = [&](int, const std::string &) { order.push_back(1); };
  b.then = [&](int, const std::string &) { order.push_back(2); };
  c.then = [&](int, const std::string &) { order.push_back(3); };
  EXPECT_EQ(log.AddObserver(&b), 1);
  EXPECT_EQ(log.AddObserver(&a), 1);
  EXPECT_EQ(log.AddObserver(&b), 1) << "a second registration answers 1 too";
  EXPECT_EQ(log.AddObserver(&c), 1);
  log.LogMessage("s", "one", 1, 0);
  EXPECT_EQ(order, (std::vector<int>{2, 1, 3}));
  EXPECT_EQ(b.heard.size(), 1u) << "registered twice, hears each line once";

  RecordingObserver stranger;
  EXPECT_EQ(log.RemoveObserver(&stranger), 1);
  EXPECT_EQ(log.RemoveObserver(&b), 1);
  order.clear();
  log.LogMessage("s", "two", 1, 0);
  EXPECT_EQ(order, (std::vector<int>{1, 3})) << "one removal ends a double registration";
  EXPECT_EQ(log.RemoveObserver(&b), 1);
  log.AddObserver(&b);
  order.clear();
  log.LogMessage("s", "three", 1, 0);
  EXPECT_EQ(order, (std::vector<int>{1, 3, 2})) << "a new registration goes to the end";
}

// From inside OnLog: a removal neither skips the next observer nor calls a removed one, an
// observer added hears the line, and a line logged is heard by all before the outer one.
TEST(LogObserverList, ChangesAndLinesFromInsideOnLog) {
  CQRXLogService log;
  RecordingObserver a, b, c, late;
  // a removes itself and logs; b removes c, which has not been called yet, and adds late.
  a.then = [&](int level, const std::string &line) {
    log.RemoveObserver(&a);
    if (level == 1) log.LogMessage("s", "echo of " + line, 2, 0);
  };
  b.then = [&](int, const std::string &) {
    log.RemoveObserver(&c);
    log.AddObserver(&late);
  };
  log.AddObserver(&a);
  log.AddObserver(&b);
  log.AddObserver(&c);
  log.LogMessage("s", "x", 1, 0);
  EXPECT_EQ(a.heard, (std::vector<Heard>{{1, "x"}}));
  EXPECT_EQ(b.heard, (std::vector<Heard>{{2, "echo of x"}, {1, "x"}}));
  EXPECT_TRUE(c.heard.empty()) << "c was removed before its turn";
  EXPECT_EQ(late.heard.size(), 2u) << "an observer added during a broadcast hears it";
}

// Counts lines and notices a call after its removal returned (which would mean the host
// could already have destroyed it).
class WatchedObserver : public ILogObserver {
public:
  void OnLog(int, std::string line) override {
    if (removed.load()) calledAfterRemoval.store(true);
    if (line.size() != expectedSize) badLine.store(true);
    lines.fetch_add(1);
  }
  std::atomic<bool> removed{false}, calledAfterRemoval{false}, badLine{false};
  std::atomic<int> lines{0};
  std::size_t expectedSize = 0;
};

TEST(LogThreads, HostRegistersAndRemovesWhileTheStationLogs) {
  CQRXLogService log;
  RecordingObserver steady;
  log.AddObserver(&steady);
  std::atomic<bool> stop{false};
  const std::size_t lineSize = ItemLine("Sens", "-108.50", "-100.00", "-120.00", "PASS").size();
  std::thread station([&] {
    while (!stop.load()) log.LogTestItem("s", "Sens", -108.5, -100.0, -120.0, 1, 0);
  });
  for (int round = 0; round < 300; ++round) {
    WatchedObserver guest;
    guest.expectedSize = lineSize;
    log.AddObserver(&guest);
    log.AddObserver(&guest);
    while (guest.lines.load() == 0 && round % 3 == 0) std::this_thread::yield();
    log.RemoveObserver(&guest);
    guest.removed.store(true);
    EXPECT_FALSE(guest.badLine.load());
    std::this_thread::yield();
    EXPECT_FALSE(guest.calledAfterRemoval.load()) << "round " << round;
  }
  stop.store(true);
  station.join();
  ASSERT_FALSE(steady.heard.empty());
  for (const auto &heard : steady.heard) ASSERT_EQ(heard, (Heard{16, steady.heard[0].line}));
  EXPECT_EQ(steady.heard[0].line.size(), lineSize);
}

// Each station has a log and observers of its own; releasing a hub never calls its observers:
// they are the host's and outlive the station.
TEST(HubServices, EachStationHasItsOwnLogAndTheLocaleServiceAnswersEmptyAndZero) {
  // A test library only ever sees the hub's interface.
  IMyTestTools *hub = new CQRXTestTools(3, "Station.xml", nullptr);
  IMyTestTools *second = new CQRXTestTools(4, "Station.xml", nullptr);
  RecordingObserver host, theirs;
  EXPECT_EQ(hub->RegisterLogObserver(&host), 1);
  EXPECT_EQ(second->RegisterLogObserver(&theirs), 1);
  ILogService *log = hub->GetLogService();
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(log, hub->GetLogService()) << "one log service per station";
  EXPECT_NE(log, second->GetLogService());
  EXPECT_EQ(log->LogTestItem("GsmFt", "TxPower", 32.004, 33, 31, 1, 9), 0);
  second->GetLogService()->LogMessage("s", "second station", 1, 0);
  const std::vector<Heard> item{{16, ItemLine("TxPower", "32.00", "33", "31", "PASS")}};
  EXPECT_EQ(host.heard, item);
  EXPECT_EQ(theirs.heard, (std::vector<Heard>{{1, "second station"}}));
  EXPECT_EQ(hub->UnregisterLogObserver(&host), 1);
  EXPECT_EQ(log->LogMessage("GsmFt", "done", 2, 0), 0);
  EXPECT_EQ(host.heard.size(), 1u);
  second->Release();
  EXPECT_EQ(theirs.heard.size(), 1u);

  ILocaleService *locale = hub->GetLocaleService();
  ASSERT_NE(locale, nullptr);
  EXPECT_EQ(locale->Reserved0(), nullptr);
  EXPECT_EQ(locale->GetText(0, 936) + locale->GetText(-1, -5), "");
  EXPECT_EQ((std::vector<int>{locale->Reserved3(42), locale->Reserved5("zh-CN", 936),
                              locale->Reserved6(std::string(1 << 16, 'x')), locale->Reserved7()}),
            std::vector<int>(4, 0));
  EXPECT_TRUE(locale->GetNameList().empty()) << "nothing above may add a name";
  hub->Release();
}

} // namespace
} // namespace qrx
