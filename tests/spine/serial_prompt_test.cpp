// The serial-number prompt: OK only on a matching text, the text exactly as typed, Cancel,
// and one prompt at a time across stations.
#include "deployment.h"
#include "hub/qrx_test_tools.h"
#include "interface/qrx_export_service.h"
#include "interface/station_registry.h"
#include "sn/test_runner_sn_dlg.h"

#include <qrx/qrx_interface.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace qrx {
namespace {

// Serial-number patterns with the answers every build must give: the Linux and both Windows
// builds run this one table, so a pattern means the same at every station.
using R = PatternMatcher::Result;
struct SerialPatternCase {
  const char *pattern;
  std::string text;
  R result;
};

const SerialPatternCase kSerialPatternCases[] = {
    {"SN", "xxSNxx", R::kMatched}, // anywhere in the text
    {"^[0-9]{15}$", "12345678901234", R::kNotMatched},
    {"^[0-9]{15}$", "123456789012345", R::kMatched},
    {"(?<=SN)\\d{4}", "SN1234", R::kMatched}, // lookbehind
    {"^(?i)qrx\\d+$", "QrX12", R::kMatched},
    {"\\AQRX\\z", "QRX\n", R::kNotMatched},
    {"^QRX$", "QRX\n", R::kMatched}, // $ also before a final newline
    {"^\\p{Lu}+\\P{Lu}$", "ABc", R::kMatched},
    {"([", "([", R::kNotCompiled},
    // Runaway searches stop at the match limit, well within a moment.
    {"^(a+)+$", std::string(40, 'a') + "b", R::kLimitReached},
    {"^(a|a)*$", std::string(4000, 'a') + "b", R::kLimitReached},
};

// Every answer within a moment: a runaway search is stopped, never left holding the prompt.
TEST(SerialDialog, PatternsAnswerAlikeOnEveryBuild) {
  for (const auto &c : kSerialPatternCases) {
    SCOPED_TRACE(std::string(c.pattern) + " on " + c.text);
    PatternMatcher matcher(c.pattern);
    EXPECT_EQ(matcher.Error().empty(), c.result != R::kNotCompiled);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(matcher.Search(c.text), c.result);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    CTestRunnerSnDlg dialog(c.pattern, nullptr);
    EXPECT_EQ(dialog.OnEditChange(c.text), c.result == R::kMatched);
  }
}

struct Script {
  const char *answer;
  int result;
  std::atomic<int> active{0};
  std::atomic<int> maxActive{0};
  bool matchedAnswer = false;
};

int ScriptedPrompt(void *context, const char *, QRXMatchFn matches, void *matcher, char *out,
                   size_t size) {
  auto *s = static_cast<Script *>(context);
  int now = ++s->active;
  int prev = s->maxActive.load();
  while (now > prev && !s->maxActive.compare_exchange_weak(prev, now)) {}
  s->matchedAnswer = matches(matcher, s->answer) == 1;
  std::snprintf(out, size, "%s", s->answer);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  --s->active;
  return s->result;
}

class PromptTest : public ::testing::Test {
protected:
  void TearDown() override {
    CleanUpQRXInterface();
    QRX_SetSerialPromptHandler(nullptr, nullptr);
  }
  test::Deployment deployment_;
};

TEST_F(PromptTest, OkReturnsTheTextExactlyAndCancelLeavesTheOutput) {
  ASSERT_EQ(InitQRXInterface(1, "S.xml", "QRX"), 0);
  StationContext s;
  ASSERT_TRUE(FindStation(&s));
  Script ok{" 123456789012345 ", 1};
  QRX_SetSerialPromptHandler(&ScriptedPrompt, &ok);
  std::string out;
  const std::string pattern = "[0-9]{15}";
  EXPECT_EQ(s.testTools->InputSerialNumberMatching(&out, &pattern), 0);
  EXPECT_EQ(out, " 123456789012345 ") << "no trimming";

  Script cancel{"123", 0};
  QRX_SetSerialPromptHandler(&ScriptedPrompt, &cancel);
  out = "before";
  EXPECT_EQ(s.testTools->InputSerialNumber(&out), -1);
  EXPECT_EQ(out, "before");

  // A front end that answers OK with a text that does not match is not believed.
  Script liar{"abc", 1};
  QRX_SetSerialPromptHandler(&ScriptedPrompt, &liar);
  EXPECT_EQ(s.calService->CallExport("Prompt"), -1);
  EXPECT_FALSE(liar.matchedAnswer);
  std::string prompted;
  s.testTools->GetResultDataSet()->GetString("Prompted", prompted);
  EXPECT_EQ(prompted, "untouched");
  EXPECT_EQ(s.testTools->InputSerialNumber(nullptr), -1);
}

TEST_F(PromptTest, TwoStationsPromptOneAfterTheOther) {
  Script s{"SN1", 1};
  QRX_SetSerialPromptHandler(&ScriptedPrompt, &s);
  std::vector<std::thread> threads;
  std::atomic<int> okCount{0};
  for (int i = 0; i < 2; ++i) {
    threads.emplace_back([i, &okCount] {
      if (InitQRXInterface(20 + i, "S.xml", "QRX") != 0) return;
      StationContext st;
      if (FindStation(&st)) {
        std::string out;
        if (st.testTools->InputSerialNumber(&out) == 0 && out == "SN1") ++okCount;
      }
      CleanUpQRXInterface();
    });
  }
  for (auto &t : threads) t.join();
  EXPECT_EQ(okCount.load(), 2);
  EXPECT_EQ(s.maxActive.load(), 1) << "the second dialog waited for the first";
}

} // namespace
} // namespace qrx
