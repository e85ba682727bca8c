// The serial-number prompt: OK only on a matching text, the text exactly as typed, Cancel,
// and one prompt at a time across stations.
#include "deployment.h"
#include "hub/qrx_test_tools.h"
#include "interface/qrx_export_service.h"
#include "interface/station_registry.h"
#include "serial_pattern_table.h"
#include "sn/test_runner_sn_dlg.h"

#include <qrx/qrx_interface.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace qrx {
namespace {

TEST(SerialDialog, OkFollowsThePattern) {
  CTestRunnerSnDlg any("^.+$", nullptr);
  EXPECT_FALSE(any.OnEditChange(""));
  EXPECT_TRUE(any.OnEditChange("x"));
  CTestRunnerSnDlg digits("^[0-9]{15}$", nullptr);
  EXPECT_FALSE(digits.OnEditChange("12345678901234"));
  EXPECT_TRUE(digits.OnEditChange("123456789012345"));
  EXPECT_FALSE(digits.OnEditChange("1234567890123456"));
}

// Every answer within a moment: a runaway search is stopped, never left holding the prompt.
TEST(SerialDialog, PatternsAnswerAlikeOnEveryBuild) {
  for (const auto &c : test::kSerialPatternCases) {
    SCOPED_TRACE(std::string(c.pattern) + " on " + c.text);
    PatternMatcher matcher(c.pattern);
    EXPECT_EQ(matcher.Error().empty(), c.result != PatternMatcher::Result::kNotCompiled);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(matcher.Search(c.text), c.result);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    CTestRunnerSnDlg dialog(c.pattern, nullptr);
    EXPECT_EQ(dialog.OnEditChange(c.text), c.result == PatternMatcher::Result::kMatched);
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
