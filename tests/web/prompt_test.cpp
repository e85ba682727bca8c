// Prompts answered by more than one front end: the first answer wins, texts are judged by the
// matcher whatever a front end claims, and nothing calls a matcher after its prompt returned.
#include "prompt_broker.h"
#include "serial_prompt_bridge.h"
#include "terminal_prompt.h"

#include "platform/operator_ui.h"
#include "sn/pattern_matcher.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <regex>
#include <thread>

using namespace qrx::web;
using namespace std::chrono_literals;

namespace {

PromptBroker::Matcher Regex(const std::string &pattern) {
  auto re = std::make_shared<std::regex>(pattern);
  return [re](const std::string &text) { return std::regex_search(text, *re); };
}

// The page: answers the first prompt it sees open.
std::thread PageAnswering(PromptBroker &broker, std::function<void(const OpenPrompt &)> answer) {
  return std::thread([&broker, answer] {
    for (;;) {
      auto open = broker.OpenPrompts();
      if (!open.empty()) return answer(open[0]);
      std::this_thread::sleep_for(2ms);
    }
  });
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
  // A cancel is an answer too: after it, a matching text is refused.
  uint64_t id = broker.Open(2, "^.+$", Regex("^.+$"));
  EXPECT_TRUE(broker.Cancel(2, id, AnswerSource::Terminal));
  EXPECT_EQ(broker.Answer(2, id, "late", AnswerSource::Page), AnswerResult::Closed);
  EXPECT_FALSE(broker.Wait(2, id).answered);
}

TEST(PromptBroker, AnswersAreCheckedByTheMatcherAndBounded) {
  PromptBroker broker;
  // Texts the pattern refuses, and texts too long, are refused over HTTP (LineMonitor's tests).
  uint64_t id = broker.Open(3, "^[0-9]{15}$", Regex("^[0-9]{15}$"));
  EXPECT_EQ(broker.Answer(3, id, std::string(PromptBroker::kMaxAnswerBytes + 1, '1'), AnswerSource::Page),
            AnswerResult::TooLong);
  EXPECT_EQ(broker.Answer(3, id + 1, "123456789012345", AnswerSource::Page), AnswerResult::Closed)
      << "an answer to another prompt id is not an answer to this one";
  EXPECT_EQ(broker.Answer(4, id, "123456789012345", AnswerSource::Page), AnswerResult::Closed);
  EXPECT_EQ(broker.Answer(3, id, "123456789012345", AnswerSource::Page), AnswerResult::Accepted);

  // A station asks one thing at a time: a new prompt withdraws its older one.
  uint64_t older = broker.Open(5, "^.+$", Regex("^.+$"));
  uint64_t newer = broker.Open(5, "^.+$", Regex("^.+$"));
  EXPECT_NE(older, newer);
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

TEST(SerialPromptBridge, TerminalAndPageRaceThroughTheLibrarysPrompt) {
  PromptBroker broker;
  // The terminal answers unless the page was first; it polls withdrawn() like a terminal
  // reading with a timeout would.
  std::atomic<bool> terminalSawWithdrawal{false};
  std::atomic<int> terminalDelayMs{0};
  SerialPromptBridge::Options options;
  options.terminal = [&](int, const std::string &pattern, const std::function<bool(const std::string &)> &matches,
                         const std::function<bool()> &withdrawn, std::string *text) {
    EXPECT_EQ(pattern, "^[0-9A-Za-z]{10}$");
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(terminalDelayMs.load());
    while (std::chrono::steady_clock::now() < until) {
      if (withdrawn()) {
        terminalSawWithdrawal = true;
        return TerminalOutcome::Cancelled;
      }
      std::this_thread::sleep_for(5ms);
    }
    if (!matches("TERM123456")) return TerminalOutcome::Cancelled;
    *text = "TERM123456";
    return TerminalOutcome::Answered;
  };
  SerialPromptBridge bridge(broker, options);
  QRX_SetSerialPromptHandler(&SerialPromptBridge::Handler, &bridge);
  SerialPromptBridge::SetThreadStation(7);
  qrx::PatternMatcher matcher("^[0-9A-Za-z]{10}$");
  auto matches = [&](const char *t) { return matcher.Matches(t); };

  // The terminal is quick: its answer reaches the library; a page answer after it is refused.
  terminalDelayMs = 0;
  std::string text;
  ASSERT_TRUE(qrx::platform::PromptSerialNumber("^[0-9A-Za-z]{10}$", matches, &text));
  EXPECT_EQ(text, "TERM123456");

  // The page is quick: the terminal is withdrawn and the page's text comes back as typed.
  terminalDelayMs = 5000;
  std::thread page = PageAnswering(broker, [&](const OpenPrompt &open) {
    EXPECT_EQ(open.station, 7);
    EXPECT_EQ(broker.Answer(7, open.id, "short", AnswerSource::Page), AnswerResult::NoMatch);
    EXPECT_EQ(broker.Answer(7, open.id, "Page000001", AnswerSource::Page), AnswerResult::Accepted);
  });
  text.clear();
  ASSERT_TRUE(qrx::platform::PromptSerialNumber("^[0-9A-Za-z]{10}$", matches, &text));
  page.join();
  EXPECT_EQ(text, "Page000001");
  EXPECT_TRUE(terminalSawWithdrawal);
  QRX_SetSerialPromptHandler(nullptr, nullptr);
}

// A pseudo-terminal stands in for the operator's terminal: the test types on its master side.
class Pty {
public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) name_ = ptsname(master_);
    // Raw mode: what the test types arrives byte for byte, with no echo and no line editing.
    int slave = name_.empty() ? -1 : open(name_.c_str(), O_RDWR | O_NOCTTY);
    termios mode{};
    if (slave >= 0 && tcgetattr(slave, &mode) == 0) {
      cfmakeraw(&mode);
      tcsetattr(slave, TCSANOW, &mode);
    }
    if (slave >= 0) close(slave);
  }
  ~Pty() {
    if (master_ >= 0) close(master_);
  }
  const std::string &name() const { return name_; }
  void Type(const std::string &keys) { ASSERT_EQ(write(master_, keys.data(), keys.size()), ssize_t(keys.size())); }

private:
  int master_ = -1;
  std::string name_;
};

TEST(TerminalPrompt, AnswersOnTheTerminalOrGivesWayToThePage) {
  Pty pty;
  ASSERT_FALSE(pty.name().empty());
  qrx::web::TerminalPrompt terminal(pty.name());
  auto tenDigits = [](const std::string &t) { return std::regex_match(t, std::regex("[0-9]{10}")); };
  std::string text;
  // A wrong line is asked again; the matching line is the answer, as typed.
  pty.Type("12345\n0123456789\r\n");
  EXPECT_EQ(terminal.Ask(1, "^[0-9]{10}$", tenDigits, [] { return false; }, &text), TerminalOutcome::Answered);
  EXPECT_EQ(text, "0123456789");
  pty.Type("\n");
  EXPECT_EQ(terminal.Ask(1, "^[0-9]{10}$", tenDigits, [] { return false; }, &text), TerminalOutcome::Cancelled);
  // The page answered: the terminal returns within its poll interval without a line typed.
  std::atomic<bool> withdrawn{false};
  auto start = std::chrono::steady_clock::now();
  std::thread page([&] {
    std::this_thread::sleep_for(50ms);
    withdrawn = true;
  });
  EXPECT_EQ(terminal.Ask(1, "^[0-9]{10}$", tenDigits, [&] { return withdrawn.load(); }, &text),
            TerminalOutcome::Cancelled);
  page.join();
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 45ms) << "nothing was typed: only the withdrawal ends this prompt";
  EXPECT_LT(took, 2s);
  EXPECT_EQ(qrx::web::TerminalPrompt("/nonexistent/tty").Ask(1, "", tenDigits, nullptr, &text),
            TerminalOutcome::Unavailable);
}

} // namespace
