// Code-page conversions: the cases where Windows and a plain iconv conversion part ways, code
// pages without a converter, and the fast paths against the character-by-character path.
#include "code_page_round_trips.h"
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace qrx::platform;

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

// GBK's user-defined areas read as private-use characters, both ways and without loss, and a
// pair in them does not throw the reading of the following characters out of step.
TEST(CodePage936, UserDefinedPairsAreCharactersAndKeepStep) {
  const std::string gbk = "\xAA\xA1\xB2\xE2\xCA\xD4\xBD\xE1\xB9\xFB"; // AA A1 then 测试结果
  bool lossy = true;
  EXPECT_EQ(Wide(936, gbk, &lossy), u"\uE000测试结果");
  EXPECT_FALSE(lossy);
  EXPECT_EQ(Bytes(936, u"\uE000测试结果", &lossy), gbk);
  EXPECT_FALSE(lossy);
  EXPECT_EQ(Wide(936, "\xF8\xA1\xA1\x40\xFE\xFE\xD7\xFA", &lossy), u"\uE234\uE4C6\uE4C5\uE810");
  EXPECT_FALSE(lossy);
  // Byte FF is U+F8F5 both ways.
  EXPECT_EQ(Wide(936, "a\xFF" "b", &lossy), u"a\uF8F5b");
  EXPECT_FALSE(lossy);
  EXPECT_EQ(Bytes(936, u"\uF8F5"), "\xFF");
  // Saved as UTF-8 the private-use character survives (not U+FFFD).
  std::string utf8;
  ASSERT_TRUE(ConvertCodePage(936, 65001, "\xAA\xA1", &utf8, &lossy));
  EXPECT_EQ(utf8, "\xEE\x80\x80");
}

// Characters GBK lacks are written as their near equivalent where Windows does so, and as '?'
// with the loss reported otherwise.
TEST(CodePage936, BestFitOnTheWayBackAndReportedLoss) {
  bool lossy = true;
  EXPECT_EQ(Bytes(936, u"µ¥²", &lossy), "\xA6\xCC\xA3\xA4" "2");
  EXPECT_FALSE(lossy) << "a best fit is no loss on Windows";
  EXPECT_EQ(Bytes(936, u"a\u0E01b", &lossy), "a?b"); // Thai letter: not in GBK
  EXPECT_TRUE(lossy);
}

// A character beyond U+FFFF is a surrogate pair, written as one '?' per unit, and always lost:
// tag characters no longer vanish without a trace.
TEST(CodePage936, CharactersBeyondTheBmpAreLostLoudly) {
  bool lossy = false;
  EXPECT_EQ(Bytes(936, u"x\U0001F600y", &lossy), "x??y");
  EXPECT_TRUE(lossy);
  lossy = false;
  EXPECT_EQ(Bytes(936, u"\U000E0041", &lossy), "??");
  EXPECT_TRUE(lossy);
  std::string ansi;
  lossy = false;
  ASSERT_TRUE(ConvertCodePage(65001, 936, "\xF3\xA0\x81\x81z", &ansi, &lossy)); // U+E0041, 'z'
  EXPECT_EQ(ansi, "??z");
  EXPECT_TRUE(lossy);
  // UTF-8 and UTF-16 hold them whole.
  EXPECT_EQ(Bytes(65001, u"\U0001F600", &lossy), "\xF0\x9F\x98\x80");
}

// Malformed GBK as Windows reads it: a lead byte and any nonzero byte are one '?'; a lead byte
// before a zero byte or at the end is '?' alone.
TEST(CodePage936, MalformedPairsReadAsOneDefaultCharacter) {
  bool lossy = false;
  EXPECT_EQ(Wide(936, "\xA1 x", &lossy), u"?x");
  EXPECT_TRUE(lossy);
  EXPECT_EQ(Wide(936, std::string("\xA1\0y", 3)), std::u16string(u"?\0y", 3));
  lossy = false;
  EXPECT_EQ(Wide(936, "ab\xB2", &lossy), u"ab?");
  EXPECT_TRUE(lossy);
  lossy = true;
  EXPECT_EQ(Wide(936, "\x80"), u"\u20AC");
  EXPECT_EQ(Wide(936, "plain", &lossy), u"plain");
  EXPECT_FALSE(lossy);
}

// 932 is Windows' CP932: backslash and tilde stay themselves, the NEC and IBM rows and the
// user-defined rows are characters, and the IBM form is the one written back.
TEST(CodePage932, IsWindowsShiftJis) {
  bool lossy = true;
  EXPECT_EQ(Wide(932, "C:\\dir~1", &lossy), u"C:\\dir~1");
  EXPECT_FALSE(lossy);
  std::string ansi;
  ASSERT_TRUE(ConvertCodePage(65001, 932, "C:\\dir~1", &ansi, &lossy));
  EXPECT_EQ(ansi, "C:\\dir~1");
  EXPECT_FALSE(lossy);
  EXPECT_EQ(Wide(932, "\x87\x40\xFA\x40\xF0\x40\xED\x40"), u"\u2460\u2170\uE000\u7E8A");
  EXPECT_EQ(Bytes(932, u"\u2170\u7E8A\uFFE2"), "\xFA\x40\xFA\x5C\x81\xCA");
  EXPECT_EQ(Wide(932, "\x81", &lossy), u"\u30FB");
  EXPECT_TRUE(lossy) << "a lead byte at the end reads as the katakana middle dot, as a loss";
}

// Windows' single-byte tables: 1252's five undefined bytes are C1 controls both ways; an
// undefined byte of 1253 is a private-use character that writes back; best fit to ASCII.
TEST(CodePageSingleByte, UndefinedBytesAndBestFit) {
  bool lossy = true;
  EXPECT_EQ(Wide(1252, "\x81\x8D\x8F\x90\x9D\x80", &lossy), u"\u0081\u008D\u008F\u0090\u009D\u20AC");
  EXPECT_FALSE(lossy);
  EXPECT_EQ(Bytes(1252, u"\u0081\u008D\u008F\u0090\u009D", &lossy), "\x81\x8D\x8F\x90\x9D");
  EXPECT_FALSE(lossy);
  EXPECT_EQ(Wide(1253, "\xAA", &lossy), u"\uF8F9");
  EXPECT_FALSE(lossy);
  EXPECT_EQ(Bytes(1253, u"\uF8F9"), "\xAA");
  EXPECT_EQ(Bytes(1252, u"\u0100", &lossy), "A");
  EXPECT_FALSE(lossy);
}

// Code pages that glibc converts are converted; those with no converter are refused rather
// than taken as empty or unconverted text.
TEST(CodePageOthers, ConvertedByIconvOrRefused) {
  EXPECT_EQ(Wide(852, "\xA5"), u"\u0105");
  EXPECT_EQ(Wide(1140, "\xC1\x9F"), u"A\u20AC");
  EXPECT_EQ(Wide(865, "\x9B"), u"\u00F8");
  EXPECT_EQ(Bytes(852, u"\u0105"), "\xA5");
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

// Single-byte code pages that do not keep ASCII as it is (EBCDIC) convert every byte, also on
// the direct paths to and from UTF-8.
TEST(CodePageOthers, EbcdicHasNoAsciiShortcut) {
  std::string out;
  bool lossy = false;
  ASSERT_TRUE(ConvertCodePage(65001, 1140, "AB01\xE2\x82\xAC", &out, &lossy));
  EXPECT_EQ(out, "\xC1\xC2\xF0\xF1\x9F");
  EXPECT_FALSE(lossy);
  ASSERT_TRUE(ConvertCodePage(1140, 65001, "\xC1\xC2\xF0\xF1\x9F", &out, &lossy));
  EXPECT_EQ(out, "AB01\xE2\x82\xAC");
  EXPECT_EQ(Bytes(37, u"Hello, world and more than sixteen"), Bytes(1140, u"Hello, world and more than sixteen"));
}

// A multi-byte code page left to iconv: characters that straddle the pieces it is fed in read
// whole, a lost character is one '?', a character cut off at the end is one U+FFFD.
TEST(CodePageOthers, IconvMultiByteInPieces) {
  std::u16string hangul;
  for (int i = 0; i < 3000; ++i) {
    hangul += static_cast<char16_t>(0xAC00 + (i * 7) % 2350);
    if (i % 3 == 0) hangul += u"x";
  }
  std::string euc;
  bool lossy = false;
  std::u16string known; // the Hangul EUC-KR holds, as it reads back
  euc = Bytes(51949, hangul, &lossy);
  std::u16string back = Wide(51949, euc, &lossy);
  EXPECT_EQ(back.size(), hangul.size());
  std::string again = Bytes(51949, back);
  EXPECT_TRUE(again == euc) << "a second round trip changes nothing";
  EXPECT_EQ(Bytes(51949, u"a\u0E01b", &lossy), "a?b");
  EXPECT_TRUE(lossy);
  lossy = false;
  EXPECT_EQ(Wide(51949, "ab\xB0", &lossy), u"ab\uFFFD");
  EXPECT_TRUE(lossy);
}

// Every lost character is one '?' in the result, also for the iconv code pages and for input
// longer than one conversion buffer.
TEST(CodePageOthers, EveryLostCharacterIsCounted) {
  std::u16string wide;
  std::string expect;
  for (int i = 0; i < 300000; ++i) {
    wide += u"a\u6D4Bb";
    expect += "a?b";
  }
  bool lossy = false;
  EXPECT_TRUE(Bytes(852, wide, &lossy) == expect);
  EXPECT_TRUE(lossy);
  lossy = false;
  EXPECT_TRUE(Bytes(1252, wide, &lossy) == expect);
  EXPECT_TRUE(lossy);
}

// UTF-8 read as Windows reads it: one U+FFFD per maximal invalid sequence; a lone surrogate
// written as U+FFFD.
TEST(CodePage65001, InvalidSequencesAndLoneSurrogates) {
  bool lossy = false;
  EXPECT_EQ(Wide(65001, "\xE6\x88" "A\xC0\xAF" "B\xF0\x9F\x98", &lossy), u"\uFFFDA\uFFFD\uFFFDB\uFFFD");
  EXPECT_TRUE(lossy);
  lossy = true;
  EXPECT_EQ(Wide(65001, "\xE6\xB5\x8B\xF0\x9F\x98\x80", &lossy), u"测\U0001F600");
  EXPECT_FALSE(lossy);
  lossy = false;
  EXPECT_EQ(Bytes(65001, std::u16string(u"a") + char16_t(0xD800) + u"b", &lossy), "a\xEF\xBF\xBD" "b");
  EXPECT_TRUE(lossy);
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
  for (int cp : {936, 932, 1252}) {
    std::u16string wide;
    bool lossyA = false, lossyB = false;
    ASSERT_TRUE(MultiByteToWide(65001, utf8, &wide, &lossyA));
    std::string twoStep = Bytes(cp, wide, &lossyA), direct;
    ASSERT_TRUE(ConvertCodePage(65001, cp, utf8, &direct, &lossyB));
    EXPECT_TRUE(direct == twoStep) << "code page " << cp;
    EXPECT_EQ(lossyA, lossyB);
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
  std::u16string wide;
  bool lossyRead = false, lossyDirect = false;
  ASSERT_TRUE(MultiByteToWide(936, gbk, &wide, &lossyRead));
  std::string twoStep = Bytes(65001, wide), direct;
  ASSERT_TRUE(ConvertCodePage(936, 65001, gbk, &direct, &lossyDirect));
  EXPECT_TRUE(direct == twoStep);
  EXPECT_TRUE(lossyRead);
  EXPECT_TRUE(lossyDirect);
}

} // namespace
