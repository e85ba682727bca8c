// Code-page conversions: every byte, lead and trail byte pair and UTF-16 code unit of the table
// code pages and every byte of the system single-byte ones compared with what Windows'
// conversion functions answered under Wine; the cases where Windows and a plain iconv
// conversion part ways, code pages without a converter, the fast paths against the
// character-by-character path, and the first use from many threads at once.
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <type_traits>
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
    // unit below; here the code pages converted otherwise, with no loss where none happened.
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

TEST(CodePage, ConversionsAsWindowsMakesThemAndNoneWithoutAConverter) {
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
  // Code pages with no converter are refused rather than taken as empty or unconverted text.
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

struct ByteAnswer {
  std::string input;
  std::u16string units;
  bool valid = false;
  bool lossy = false; // what the library must report reading it
};

struct UnitAnswer {
  std::u16string input;
  std::string bytes;
  bool usedDefault = false;
};

struct PageAnswers {
  std::vector<ByteAnswer> bytes; // single bytes, then pairs and lone lead bytes
  std::vector<UnitAnswer> units; // 0000..FFFF, then surrogate pairs
};

// Reads the dump written by code_page_dump.c (its layout is described there).
class DumpReader {
public:
  // With bytesOnly the unit records are passed over, and the byte answers carry no loss.
  DumpReader(std::string_view data, bool bytesOnly) : data_(data), bytesOnly_(bytesOnly) {}

  bool Read(std::map<int, PageAnswers> *pages, std::string *error) {
    if (data_.compare(0, 8, "QRXCPD1\n") != 0) return Fail(error, "not a code page dump");
    pos_ = 8;
    const uint32_t count = U32();
    for (uint32_t p = 0; p < count && ok_; ++p) {
      const int codePage = static_cast<int>(U32());
      PageAnswers &page = (*pages)[codePage];
      if (codePage == 65001) {
        ReadUtf8Samples(&page);
        continue;
      }
      const uint32_t maxCharSize = U32();
      uint8_t leads[12];
      for (auto &b : leads) b = U8();
      pos_ += 4; // default char, default unicode char
      auto isLead = [&](int b) {
        for (int i = 0; i < 12; i += 2)
          if ((leads[i] || leads[i + 1]) && b >= leads[i] && b <= leads[i + 1]) return true;
        return false;
      };
      for (int b = 0; b < 256; ++b)
        page.bytes.push_back(Bytes(std::string(1, static_cast<char>(b))));
      for (int lead = 0; lead < 256 && maxCharSize == 2; ++lead) {
        if (!isLead(lead)) continue;
        for (int trail = 0; trail < 256; ++trail)
          page.bytes.push_back(Bytes({static_cast<char>(lead), static_cast<char>(trail)}));
        page.bytes.push_back(Bytes(std::string(1, static_cast<char>(lead))));
      }
      if (bytesOnly_) {
        pos_ += (0x10000 + 1024 + 128) * 6;
        continue;
      }
      auto pair = [](uint32_t high, uint32_t low) {
        return std::u16string{static_cast<char16_t>(0xD800 + high), static_cast<char16_t>(0xDC00 + low)};
      };
      for (uint32_t u = 0; u < 0x10000; ++u)
        page.units.push_back(Units(std::u16string(1, static_cast<char16_t>(u))));
      for (uint32_t i = 0; i < 1024; ++i) page.units.push_back(Units(pair(i, (i * 37) & 0x3FF)));
      for (uint32_t c = 0xE0000 - 0x10000; c < 0xE0080 - 0x10000; ++c)
        page.units.push_back(Units(pair(c >> 10, c & 0x3FF)));
      // A reading is lossy exactly when Windows rejects the input and the character it gives
      // does not write back to the same bytes.
      for (ByteAnswer &a : page.bytes)
        a.lossy = ok_ && !a.valid && !(a.units.size() == 1 && page.units[a.units[0]].bytes == a.input);
    }
    if (!ok_) return Fail(error, "truncated dump");
    return pos_ == data_.size() || Fail(error, "trailing data");
  }

private:
  std::string_view data_;
  size_t pos_ = 0;
  bool ok_ = true;
  const bool bytesOnly_;

  static bool Fail(std::string *error, const char *what) {
    *error = what;
    return false;
  }
  uint8_t U8() {
    ok_ = ok_ && pos_ < data_.size();
    return ok_ ? static_cast<uint8_t>(data_[pos_++]) : 0;
  }
  uint16_t U16() { return static_cast<uint16_t>(U8() | (U8() << 8)); }
  uint32_t U32() { return U16() | (static_cast<uint32_t>(U16()) << 16); }
  // Reads n of the max slots that follow (of the given width), fails when n is larger.
  template <typename Text, typename Unit>
  void Slots(Text *out, int n, int max, Unit (DumpReader::*read)()) {
    for (int k = 0; k < max; ++k) {
      const auto v = static_cast<typename Text::value_type>((this->*read)());
      if (k < n) out->push_back(v);
    }
    ok_ = ok_ && n <= max;
  }
  // UTF-8 samples carry their inputs; a loss is a U+FFFD that the input did not hold.
  void ReadUtf8Samples(PageAnswers *page) {
    for (uint32_t i = 0, count = U32(); i < count && ok_; ++i) {
      ByteAnswer a;
      for (int k = 0, len = U8(); k < len; ++k) a.input.push_back(static_cast<char>(U8()));
      Slots(&a.units, U8(), 8, &DumpReader::U16);
      a.lossy = a.units.find(u'\uFFFD') != std::u16string::npos;
      page->bytes.push_back(std::move(a));
    }
    for (uint32_t i = 0, count = U32(); i < count && ok_; ++i) {
      UnitAnswer a;
      for (int k = 0, len = U8(); k < len; ++k) a.input.push_back(U16());
      Slots(&a.bytes, U8(), 16, &DumpReader::U8);
      a.usedDefault = a.bytes.find("\xEF\xBF\xBD") != std::string::npos &&
                      a.input.find(u'\uFFFD') == std::u16string::npos;
      page->units.push_back(std::move(a));
    }
  }

  ByteAnswer Bytes(std::string input) {
    ByteAnswer a{std::move(input), {}, false};
    const int n = U8();
    a.valid = U8() != 0;
    Slots(&a.units, n, 3, &DumpReader::U16);
    return a;
  }
  UnitAnswer Units(std::u16string input) {
    UnitAnswer a{std::move(input), {}, false};
    const int n = U8();
    a.usedDefault = U8() != 0;
    Slots(&a.bytes, n, 4, &DumpReader::U8);
    return a;
  }
};

// The answers of one code page in a dump read from disk on first use; null (a failure) when
// the dump is missing, broken or without it.
const PageAnswers *LoadPage(const char *path, int codePage) {
  static std::map<std::string, std::pair<std::map<int, PageAnswers>, std::string>> dumps;
  auto [dump, fresh] = dumps.try_emplace(path);
  auto &[pages, error] = dump->second;
  if (fresh) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    if (!in || !(data << in.rdbuf()))
      error = std::string("cannot read ") + path + " (a ctest step writes it; run the test through ctest)";
    else
      DumpReader(data.str(), std::string_view(path) == QRX_CODE_PAGE_BYTES).Read(&pages, &error);
  }
  EXPECT_TRUE(error.empty() && pages.count(codePage)) << "code page " << codePage << ": " << error;
  return error.empty() && pages.count(codePage) ? &pages.at(codePage) : nullptr;
}

template <typename Text> std::string Hex(const Text &text) {
  std::string s;
  char b[8];
  for (auto c : text) {
    std::snprintf(b, sizeof b, sizeof c == 1 ? "%02X " : "%04X ",
                  static_cast<unsigned>(static_cast<std::make_unsigned_t<decltype(c)>>(c)));
    s += b;
  }
  return s;
}

class WineCodePageTest : public testing::Test {
protected:
  void SetUp() override {
    if (std::string(QRX_CODE_PAGE_DUMP).empty())
      GTEST_SKIP() << "wine or x86_64-w64-mingw32-gcc is missing, so there is no reference to compare with: "
                      "install wine and g++-mingw-w64-x86-64 (scripts/install-deps.sh)";
  }
};

// Every table code page and UTF-8 against Windows' answers, read once per code page:
// reading: each byte, pair and UTF-8 sample reads as Windows reads it, and is lossy as
// described where the answers are read; writing: each code unit (and each sampled surrogate
// pair) writes the bytes Windows writes, best fits included, and is lossy exactly when Windows
// used the default character;
// and for the table code pages the same answers from one long conversion each way, so nothing
// depends on a character standing alone: ASCII runs that take the fast path, buffer boundaries,
// pairs after pairs.
TEST_F(WineCodePageTest, EveryTableCodePageConvertsAsOnWindows) {
  for (int codePage : {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 65001}) {
    SCOPED_TRACE("code page " + std::to_string(codePage));
    const PageAnswers *answers = LoadPage(QRX_CODE_PAGE_DUMP, codePage);
    ASSERT_NE(answers, nullptr);
    size_t mismatches = 0;
    std::string text, expectBytes;
    std::u16string expectUnits, wide;
    for (const ByteAnswer &a : answers->bytes) {
      std::u16string out;
      bool lossy = false;
      ASSERT_TRUE(MultiByteToWide(codePage, a.input, &out, &lossy));
      if ((out != a.units || lossy != a.lossy) && ++mismatches <= 20)
        ADD_FAILURE() << "bytes " << Hex(a.input) << "read as " << Hex(out) << (lossy ? "(lossy)" : "")
                      << ", Windows: " << Hex(a.units) << (a.lossy ? "(lossy)" : "");
      // A rejected pair or lone lead byte would swallow what follows in the long reading.
      if (a.valid) {
        text += a.input + "abcdefghij";
        expectUnits += a.units + u"abcdefghij";
      }
    }
    for (const UnitAnswer &a : answers->units) {
      std::string out;
      bool lossy = false;
      ASSERT_TRUE(WideToMultiByte(codePage, a.input, &out, &lossy));
      if ((out != a.bytes || lossy != a.usedDefault) && ++mismatches <= 20)
        ADD_FAILURE() << "units " << Hex(a.input) << "wrote " << Hex(out) << (lossy ? "(lossy)" : "")
                      << ", Windows: " << Hex(a.bytes) << (a.usedDefault ? "(default used)" : "");
    }
    EXPECT_EQ(mismatches, 0u);
    if (codePage == 65001) continue; // samples only, no long texts

    bool lossy = false;
    ASSERT_TRUE(MultiByteToWide(codePage, text, &wide, &lossy));
    EXPECT_FALSE(lossy);
    EXPECT_TRUE(wide == expectUnits) << "the long reading differs from the answers one by one";
    std::u16string units;
    for (size_t u = 1; u < 0x10000; ++u) {
      units += static_cast<char16_t>(u);
      expectBytes += answers->units[u].bytes;
      if (u % 7 == 0) {
        units += u"0123456789";
        expectBytes += "0123456789";
      }
    }
    std::string bytes;
    ASSERT_TRUE(WideToMultiByte(codePage, units, &bytes, &lossy));
    EXPECT_TRUE(lossy);
    EXPECT_TRUE(bytes == expectBytes) << "the long writing differs from the answers one by one";
  }
}

// The single-byte code pages that the Windows build converts through the system: every byte
// that both Windows and this build read as a character reads as the same character, and the
// character writes back, with no loss, to a byte that reads as it again, so a setting file in
// any of them reads and saves the same at every station.
TEST_F(WineCodePageTest, EverySystemSingleByteCodePageReadsAndWritesAsOnWindows) {
  size_t compared = 0, mismatches = 0;
  for (int codePage : {QRX_SYSTEM_SINGLE_BYTE_PAGES}) {
    const PageAnswers *answers = LoadPage(QRX_CODE_PAGE_BYTES, codePage);
    ASSERT_NE(answers, nullptr);
    size_t oneSided = 0;
    for (int byte = 0; byte < 256; ++byte) {
      const ByteAnswer &a = answers->bytes[static_cast<size_t>(byte)];
      std::u16string out;
      bool lossy = false;
      ASSERT_TRUE(MultiByteToWide(codePage, a.input, &out, &lossy)) << "code page " << codePage;
      if (!a.valid || a.units.size() != 1 || lossy) {
        oneSided += (a.valid && a.units.size() == 1) != !lossy;
        continue;
      }
      ++compared;
      std::string back;
      std::u16string again;
      ASSERT_TRUE(WideToMultiByte(codePage, out, &back, &lossy) && MultiByteToWide(codePage, back, &again, &lossy));
      if ((out != a.units || again != out || lossy) && ++mismatches <= 200)
        ADD_FAILURE() << "code page " << codePage << " byte " << byte << " reads as " << Hex(out)
                      << "and writes back as " << Hex(back) << ", Windows: " << Hex(a.units);
    }
    if (oneSided) std::printf("code page %d: %zu bytes read as characters by one side only\n", codePage, oneSided);
  }
  EXPECT_GT(compared, 8000u);
  EXPECT_EQ(mismatches, 0u);
}

} // namespace
