// Every byte, lead and trail byte pair and UTF-16 code unit of the table code pages, converted
// by the library and compared with what Windows' conversion functions answered under Wine.
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <type_traits>
#include <string>
#include <vector>

namespace {

using qrx::platform::MultiByteToWide;
using qrx::platform::WideToMultiByte;

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
  explicit DumpReader(std::string_view data) : data_(data) {}

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
    if (!in)
      error = std::string("cannot read ") + path + " (a ctest step writes it; run the test through ctest)";
    else
      DumpReader(std::string(std::istreambuf_iterator<char>(in), {})).Read(&pages, &error);
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
    const PageAnswers *page_ = LoadPage(QRX_CODE_PAGE_DUMP, codePage);
    ASSERT_NE(page_, nullptr);
    size_t mismatches = 0;
    std::string text, expectBytes;
    std::u16string expectUnits, wide;
    for (const ByteAnswer &a : page_->bytes) {
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
    for (const UnitAnswer &a : page_->units) {
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
      expectBytes += page_->units[u].bytes;
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
    const PageAnswers *page_ = LoadPage(QRX_CODE_PAGE_BYTES, codePage);
    ASSERT_NE(page_, nullptr);
    size_t oneSided = 0;
    for (int byte = 0; byte < 256; ++byte) {
      const ByteAnswer &a = page_->bytes[static_cast<size_t>(byte)];
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
