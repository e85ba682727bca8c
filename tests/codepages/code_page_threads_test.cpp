// Stations converting at the same time: the tables are built on first use, once, whichever
// thread comes first, and every thread gets the same answers.
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using namespace qrx::platform;

TEST(CodePageThreads, FirstUseFromManyThreadsAtOnce) {
  // 936 and 932 are the library's own tables, 852 a table made from iconv, 51949 iconv itself.
  const int pages[] = {936, 932, 852, 51949, 65001};
  const std::u16string text = u"station \u6D4B\u8BD5 \u0105 \uAC00 \u30A2 \u00B5";
  std::vector<std::string> expected;
  std::vector<std::thread> threads;
  std::vector<std::string> results(16);
  for (int t = 0; t < 16; ++t)
    threads.emplace_back([&, t] {
      const int cp = pages[t % 5];
      std::string bytes;
      std::u16string back;
      bool lossy = false;
      if (WideToMultiByte(cp, text, &bytes, &lossy) && MultiByteToWide(cp, bytes, &back, &lossy))
        results[t] = bytes + "|" + std::to_string(back.size()) + "|" + CodePageName(cp);
    });
  for (auto &t : threads) t.join();
  for (int t = 0; t < 16; ++t) {
    std::string bytes;
    std::u16string back;
    bool lossy = false;
    const int cp = pages[t % 5];
    ASSERT_TRUE(WideToMultiByte(cp, text, &bytes, &lossy));
    ASSERT_TRUE(MultiByteToWide(cp, bytes, &back, &lossy));
    EXPECT_EQ(results[t], bytes + "|" + std::to_string(back.size()) + "|" + CodePageName(cp))
        << "code page " << cp;
  }
}

} // namespace
