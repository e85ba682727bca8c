// Code-page conversions: the cases where Windows and a plain iconv conversion part ways, code
// pages without a converter, the fast paths against the character-by-character path, and the
// first use from many threads at once.
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace qrx::platform;
using namespace std::literals;

std::u16string Wide(int cp, std::string_view in, bool *lossy = nullptr) {
  std::u16string out;
  bool lost = false;
  EXPECT_TRUE(MultiByteToWide(cp, in, &out, &lost)) << "code page " << cp;
  if (lossy) *lossy = lost;
  return out;
}

std::string Bytes(int cp, std::u16string_view in, bool *lossy = nullptr) {
  std::string out;
  bool lost = false;
  EXPECT_TRUE(WideToMultiByte(cp, in, &out, &lost)) << "code page " << cp;
  if (lossy) *lossy = lost;
  return out;
}

enum Way { kRead, kWrite, kBoth };
constexpr int kUnchecked = -1;

// What Windows makes of each text; lossy is whether it reports a loss.
struct Conversion {
  int cp;
  Way way;
  std::string_view bytes;
  std::u16string_view wide;
  int lossy;
} const kConversions[] = {
    // The table code pages (874, 932, 936, 949, 950, 1250-1258) and the single-byte code pages
    // Windows converts through the system are compared with Windows byte by byte and unit by
    // unit in code_page_wine_test.cpp; here the code pages converted otherwise, with no loss
    // where none happened.
    {1361, kBoth, "\xD0\x65\x8A\x82", u"한국", 0},
    {51949, kBoth, "\xC7\xD1\xB1\xB9", u"한국", 0}, // EUC-KR
    {20932, kBoth, "\xC6\xFC\xCB\xDC", u"日本", 0},
    {65000, kBoth, "A+IKw-b", u"A€b", 0}, // UTF-7
    {1140, kRead, "\xC1\x9F", u"A\u20AC", kUnchecked},
    // A multi-byte code page left to iconv: a lost character is one '?', a character cut off
    // at the end one U+FFFD.
    {51949, kWrite, "a?b", u"a\u0E01b", 1},
    {51949, kRead, "ab\xB0", u"ab\uFFFD", 1},
    // UTF-8 as Windows reads it: one U+FFFD per maximal invalid sequence; a lone surrogate is
    // written as U+FFFD.
    {65001, kRead, "\xE6\x88" "A\xC0\xAF" "B\xF0\x9F\x98", u"\uFFFDA\uFFFD\uFFFDB\uFFFD", 1},
    {65001, kRead, "\xE6\xB5\x8B\xF0\x9F\x98\x80", u"测\U0001F600", 0},
    {65001, kWrite, "a\xEF\xBF\xBD" "b", u"a\xD800" u"b", 1},
};

// Between two code pages directly, without the caller going through UTF-16.
struct Direct {
  int from, to;
  std::string_view in, out;
  int lossy;
} const kDirect[] = {
    {936, 65001, "\xAA\xA1", "\xEE\x80\x80", kUnchecked}, // private use survives, not U+FFFD
    {65001, 936, "\xF3\xA0\x81\x81z", "??z", 1},         // U+E0041, 'z'
    {65001, 932, "C:\\dir~1", "C:\\dir~1", 0},
    // EBCDIC keeps no ASCII as it is: every byte converts, also on the direct paths.
    {65001, 1140, "AB01\xE2\x82\xAC", "\xC1\xC2\xF0\xF1\x9F", 0},
    {1140, 65001, "\xC1\xC2\xF0\xF1\x9F", "AB01\xE2\x82\xAC", kUnchecked},
};

TEST(CodePage, ConversionsAsWindowsMakesThem) {
  for (const Conversion &c : kConversions) {
    SCOPED_TRACE(::testing::Message() << "code page " << c.cp << ", row " << (&c - kConversions));
    EXPECT_NE(CodePageName(c.cp), nullptr);
    bool lossy = c.lossy != 1;
    if (c.way != kWrite) {
      EXPECT_EQ(Wide(c.cp, c.bytes, &lossy), c.wide);
      if (c.lossy != kUnchecked) { EXPECT_EQ(lossy, c.lossy == 1); }
    }
    if (c.way != kRead) {
      EXPECT_EQ(Bytes(c.cp, c.wide, &lossy), c.bytes);
      if (c.lossy != kUnchecked) { EXPECT_EQ(lossy, c.lossy == 1); }
    }
  }
  for (const Direct &d : kDirect) {
    std::string out;
    bool lossy = false; // only a loss sets it
    ASSERT_TRUE(ConvertCodePage(d.from, d.to, d.in, &out, &lossy)) << d.from << " to " << d.to;
    EXPECT_EQ(out, d.out) << d.from << " to " << d.to;
    if (d.lossy != kUnchecked) { EXPECT_EQ(lossy, d.lossy == 1) << d.from << " to " << d.to; }
  }
  EXPECT_EQ(Bytes(37, u"Hello, world and more than sixteen"), Bytes(1140, u"Hello, world and more than sixteen"));
  // A character the code page lacks is a loss on every build.
  bool lossy = false;
  EXPECT_EQ(Bytes(852, u"a\u4E2Db", &lossy), "a?b");
  EXPECT_TRUE(lossy);
}

// Code pages with no converter are refused rather than taken as empty or unconverted text.
TEST(CodePage, WithoutAConverterRefused) {
  EXPECT_STREQ(CodePageName(852), "CP852");
  for (int unsupported : {52936, 20105, 57002, 29001, 12345}) {
    std::u16string wide = u"unchanged";
    std::string bytes = "unchanged";
    EXPECT_FALSE(MultiByteToWide(unsupported, "abc", &wide, nullptr)) << unsupported;
    EXPECT_FALSE(WideToMultiByte(unsupported, u"abc", &bytes, nullptr)) << unsupported;
    EXPECT_EQ(CodePageName(unsupported), nullptr) << unsupported;
  }
  std::string out;
  EXPECT_FALSE(MultiByteToWide(936, "x", nullptr, nullptr));
  EXPECT_FALSE(ConvertCodePage(65001, 52936, "x", &out, nullptr));
}

// Texts longer than one conversion buffer: characters that straddle the pieces iconv is fed
// read whole, and every lost character is one '?', for the iconv code pages and the tables.
TEST(CodePageOthers, LongTextsInPieces) {
  std::u16string hangul, wide;
  std::string expect;
  for (int i = 0; i < 3000; ++i) hangul += std::u16string(1, static_cast<char16_t>(0xAC00 + (i * 7) % 2350)) + (i % 3 ? u"" : u"x");
  const std::string euc = Bytes(51949, hangul);
  const std::u16string back = Wide(51949, euc);
  EXPECT_TRUE(back.size() == hangul.size() && Bytes(51949, back) == euc) << "read whole, and stable";
  for (int i = 0; i < 300000; ++i) wide += u"a\u6D4Bb", expect += "a?b";
  for (int cp : {852, 1252}) {
    bool lossy = false;
    EXPECT_TRUE(Bytes(cp, wide, &lossy) == expect && lossy) << cp;
  }
}

// The direct path from UTF-8 to a table code page gives what the way through UTF-16 gives,
// loss included, over text that mixes ASCII runs, Chinese, invalid UTF-8 and lost characters.
TEST(CodePage65001, DirectPathAgreesWithTheWayThroughUtf16) {
  std::string utf8;
  for (int i = 0; i < 2000; ++i) {
    utf8 += std::string(static_cast<size_t>(i % 19), 'x');
    utf8 += "\xE6\xB5\x8B";                    // 测
    if (i % 7 == 0) utf8 += "\xC2\xB5";        // µ, best fit
    if (i % 11 == 0) utf8 += "\xF0\x9F\x98\x80"; // lost
    if (i % 13 == 0) utf8 += "\xE6\x88";       // invalid
  }
  // And back from GBK with rejected pairs, lone lead bytes and private-use pairs among it.
  std::string gbk;
  for (int i = 0; i < 3000; ++i) {
    gbk += std::string(static_cast<size_t>(i % 23), 'y');
    gbk += "\xB2\xE2";
    if (i % 5 == 0) gbk += "\xAA\xA1\xFF\x80";
    if (i % 9 == 0) gbk += "\xA1\x20";
    if (i % 17 == 0) gbk += std::string("\xA1\0", 2);
  }
  gbk += "\xB2";
  const std::tuple<int, int, const std::string &> ways[] = {
      {65001, 936, utf8}, {65001, 932, utf8}, {65001, 1252, utf8}, {936, 65001, gbk}};
  for (const auto &[from, to, text] : ways) {
    std::u16string wide;
    bool lossyTwoStep = false, lossyDirect = false;
    ASSERT_TRUE(MultiByteToWide(from, text, &wide, &lossyTwoStep));
    std::string twoStep = Bytes(to, wide, lossyTwoStep ? nullptr : &lossyTwoStep), direct;
    ASSERT_TRUE(ConvertCodePage(from, to, text, &direct, &lossyDirect));
    EXPECT_TRUE(direct == twoStep && lossyTwoStep && lossyDirect) << from << " to " << to;
  }
}

// Stations converting at the same time: the tables are built on first use, once, whichever
// thread comes first, and every thread gets the same answers. 936 and 932 are the library's own
// tables, 852 a table made from iconv, 51949 iconv itself.
TEST(CodePageThreads, FirstUseFromManyThreadsAtOnce) {
  const int pages[] = {936, 932, 852, 51949, 65001};
  const std::u16string text = u"station \u6D4B\u8BD5 \u0105 \uAC00 \u30A2 \u00B5";
  auto convert = [&](int cp) {
    std::string bytes;
    std::u16string back;
    bool lossy = false;
    if (!WideToMultiByte(cp, text, &bytes, &lossy) || !MultiByteToWide(cp, bytes, &back, &lossy))
      return std::string();
    return bytes + "|" + std::to_string(back.size()) + "|" + CodePageName(cp);
  };
  std::vector<std::thread> threads;
  std::vector<std::string> results(16);
  for (int t = 0; t < 16; ++t) threads.emplace_back([&, t] { results[t] = convert(pages[t % 5]); });
  for (auto &t : threads) t.join();
  for (int t = 0; t < 16; ++t) {
    const std::string expected = convert(pages[t % 5]);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(results[t], expected) << "code page " << pages[t % 5];
  }
}

} // namespace
