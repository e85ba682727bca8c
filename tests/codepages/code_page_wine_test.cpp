// Every byte, lead and trail byte pair and UTF-16 code unit of the table code pages, converted
// by the library and compared with what Windows' conversion functions answered under Wine.
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using qrx::platform::MultiByteToWide;
using qrx::platform::WideToMultiByte;

struct ByteAnswer {
  std::string input;
  std::u16string units;
  bool valid = false;
};

struct UnitAnswer {
  std::u16string input;
  std::string bytes;
  bool usedDefault = false;
};

struct PageAnswers {
  int codePage = 0;
  std::vector<ByteAnswer> bytes; // single bytes, then pairs and lone lead bytes
  std::vector<UnitAnswer> units; // 0000..FFFF, then surrogate pairs
};

// Reads the dump written by code_page_dump.c (its layout is described there).
class DumpReader {
public:
  explicit DumpReader(std::string_view data) : data_(data) {}

  // Reads the answers for one code page, stepping over the others (each test process needs
  // only one, and reading all of them would cost more than the comparison).
  bool Read(int wanted, PageAnswers *page, std::string *error) {
    if (data_.compare(0, 8, "QRXCPD1\n") != 0)
      return Fail(error, "not a code page dump");
    pos_ = 8;
    uint32_t count = U32();
    bool found = false;
    for (uint32_t p = 0; p < count && ok_; ++p) {
      const int codePage = static_cast<int>(U32());
      const bool skip = codePage != wanted;
      found |= !skip;
      page->codePage = skip ? page->codePage : codePage;
      if (codePage == 65001) {
        PageAnswers samples;
        ReadUtf8Samples(skip ? &samples : page);
        continue;
      }
      const uint32_t maxCharSize = U32();
      uint8_t leads[12];
      for (auto &b : leads)
        b = U8();
      pos_ += 4; // default char, default unicode char
      auto isLead = [&](int b) {
        for (int i = 0; i < 12; i += 2)
          if ((leads[i] || leads[i + 1]) && b >= leads[i] && b <= leads[i + 1])
            return true;
        return false;
      };
      if (skip) {
        size_t leadCount = 0;
        for (int b = 0; b < 256; ++b)
          leadCount += maxCharSize == 2 && isLead(b);
        pos_ += 256 * 8 + leadCount * 257 * 8 + (0x10000 + 1024 + 128) * 6;
        continue;
      }
      PageAnswers &pageRef = *page;
      for (int b = 0; b < 256; ++b)
        pageRef.bytes.push_back(Bytes(std::string(1, static_cast<char>(b))));
      if (maxCharSize == 2) {
        for (int lead = 0; lead < 256; ++lead) {
          if (!isLead(lead))
            continue;
          for (int trail = 0; trail < 256; ++trail)
            pageRef.bytes.push_back(Bytes({static_cast<char>(lead), static_cast<char>(trail)}));
          pageRef.bytes.push_back(Bytes(std::string(1, static_cast<char>(lead))));
        }
      }
      for (uint32_t u = 0; u < 0x10000; ++u)
        pageRef.units.push_back(Units(std::u16string(1, static_cast<char16_t>(u))));
      for (uint32_t i = 0; i < 1024; ++i)
        pageRef.units.push_back(
            Units({static_cast<char16_t>(0xD800 + i), static_cast<char16_t>(0xDC00 + ((i * 37) & 0x3FF))}));
      for (uint32_t i = 0; i < 128; ++i) {
        const uint32_t c = 0xE0000 + i - 0x10000;
        pageRef.units.push_back(
            Units({static_cast<char16_t>(0xD800 + (c >> 10)), static_cast<char16_t>(0xDC00 + (c & 0x3FF))}));
      }
    }
    if (!ok_)
      return Fail(error, "truncated dump");
    if (pos_ != data_.size())
      return Fail(error, "trailing data");
    return found || Fail(error, "the code page is not in the dump");
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
    if (pos_ >= data_.size()) {
      ok_ = false;
      return 0;
    }
    return static_cast<uint8_t>(data_[pos_++]);
  }
  uint16_t U16() { return static_cast<uint16_t>(U8() | (U8() << 8)); }
  uint32_t U32() { return U16() | (static_cast<uint32_t>(U16()) << 16); }
  // UTF-8 samples carry their inputs; "valid" is left false and the loss is judged by U+FFFD.
  void ReadUtf8Samples(PageAnswers *page) {
    const uint32_t count = U32();
    for (uint32_t i = 0; i < count && ok_; ++i) {
      ByteAnswer a;
      const int len = U8();
      for (int k = 0; k < len; ++k)
        a.input.push_back(static_cast<char>(U8()));
      const int n = U8();
      for (int k = 0; k < 8; ++k) {
        const char16_t u = U16();
        if (k < n)
          a.units.push_back(u);
      }
      if (n > 8)
        ok_ = false;
      page->bytes.push_back(std::move(a));
    }
    const uint32_t wideCount = U32();
    for (uint32_t i = 0; i < wideCount && ok_; ++i) {
      UnitAnswer a;
      const int len = U8();
      for (int k = 0; k < len; ++k)
        a.input.push_back(U16());
      const int n = U8();
      for (int k = 0; k < 16; ++k) {
        const char b = static_cast<char>(U8());
        if (k < n)
          a.bytes.push_back(b);
      }
      if (n > 16)
        ok_ = false;
      page->units.push_back(std::move(a));
    }
  }

  ByteAnswer Bytes(std::string input) {
    ByteAnswer a{std::move(input), {}, false};
    const int n = U8();
    a.valid = U8() != 0;
    for (int i = 0; i < 3; ++i) {
      const char16_t u = U16();
      if (i < n)
        a.units.push_back(u);
    }
    if (n > 3)
      ok_ = false;
    return a;
  }
  UnitAnswer Units(std::u16string input) {
    UnitAnswer a{std::move(input), {}, false};
    const int n = U8();
    a.usedDefault = U8() != 0;
    for (int i = 0; i < 4; ++i) {
      const char b = static_cast<char>(U8());
      if (i < n)
        a.bytes.push_back(b);
    }
    if (n > 4)
      ok_ = false;
    return a;
  }
};

// The answers for one code page; the dump is read from disk once, each page on first use.
const PageAnswers *Answers(int codePage, std::string *error) {
  static std::string data;
  static bool read = false;
  static std::map<int, std::unique_ptr<PageAnswers>> pages;
  auto &page = pages[codePage];
  if (page)
    return page.get();
  if (!read) {
    std::ifstream in(QRX_CODE_PAGE_DUMP, std::ios::binary | std::ios::ate);
    if (!in) {
      *error = std::string("cannot read ") + QRX_CODE_PAGE_DUMP +
               " (the ctest step code_page_reference writes it; run the test through ctest)";
      return nullptr;
    }
    data.resize(static_cast<size_t>(in.tellg()));
    in.seekg(0);
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    read = true;
  }
  auto answers = std::make_unique<PageAnswers>();
  if (!DumpReader(data).Read(codePage, answers.get(), error))
    return nullptr;
  page = std::move(answers);
  return page.get();
}

std::string Hex(std::string_view bytes) {
  std::string s;
  char b[4];
  for (unsigned char c : bytes) {
    std::snprintf(b, sizeof b, "%02X ", c);
    s += b;
  }
  return s;
}

std::string Hex(std::u16string_view units) {
  std::string s;
  char b[8];
  for (char16_t u : units) {
    std::snprintf(b, sizeof b, "%04X ", static_cast<unsigned>(u));
    s += b;
  }
  return s;
}

constexpr const char *kNoReference =
    "wine or x86_64-w64-mingw32-gcc is missing, so there is no reference to compare with: "
    "install wine and g++-mingw-w64-x86-64 (scripts/install-deps.sh)";

// The answers for one code page; fails the test when the dump is missing or broken.
void LoadPage(int codePage, const PageAnswers **page) {
  std::string error;
  *page = Answers(codePage, &error);
  ASSERT_NE(*page, nullptr) << "code page " << codePage << ": " << error;
}

constexpr int kTablePages[] = {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};

class WineCodePageTest : public testing::Test {
protected:
  void SetUp() override {
    if (std::string(QRX_CODE_PAGE_DUMP).empty())
      GTEST_SKIP() << kNoReference;
  }
};

// Every table code page against Windows' answers, read once per code page:
// reading: each byte and pair reads as Windows reads it, and a reading is lossy exactly when
// Windows rejects the input and the character it gives does not write back to the same bytes;
// writing: each code unit (and each sampled surrogate pair) writes the bytes Windows writes,
// best fits included, and is lossy exactly when Windows says it used the default character;
// and the same answers from one long conversion each way, so nothing depends on a character
// standing alone: ASCII runs that take the fast path, buffer boundaries, pairs after pairs.
TEST_F(WineCodePageTest, EveryTableCodePageConvertsAsOnWindows) {
  for (int codePage : kTablePages) {
    SCOPED_TRACE("code page " + std::to_string(codePage));
    const PageAnswers *page_ = nullptr;
    LoadPage(codePage, &page_);
    ASSERT_NE(page_, nullptr);
    size_t mismatches = 0;
    std::string text, expectBytes;
    std::u16string expectUnits, wide;
    for (const ByteAnswer &a : page_->bytes) {
      std::u16string out;
      bool lossy = false;
      ASSERT_TRUE(MultiByteToWide(codePage, a.input, &out, &lossy));
      const bool expectLoss = !a.valid && !(a.units.size() == 1 && page_->units[a.units[0]].bytes == a.input);
      if ((out != a.units || lossy != expectLoss) && ++mismatches <= 20)
        ADD_FAILURE() << "bytes " << Hex(a.input) << "read as " << Hex(out) << (lossy ? "(lossy)" : "")
                      << ", Windows: " << Hex(a.units) << (expectLoss ? "(lossy)" : "");
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

// UTF-8 as Windows reads and writes it: two-byte inputs over every byte above 7F, three- and
// four-byte inputs over the bytes where the rules change, lone and misordered surrogates.
TEST_F(WineCodePageTest, Utf8SamplesReadAndWriteAsOnWindows) {
  const PageAnswers *page_ = nullptr;
  LoadPage(65001, &page_);
  ASSERT_NE(page_, nullptr);
  ASSERT_GT(page_->bytes.size(), 30000u);
  size_t mismatches = 0;
  for (const ByteAnswer &a : page_->bytes) {
    std::u16string out;
    bool lossy = false;
    ASSERT_TRUE(MultiByteToWide(65001, a.input, &out, &lossy));
    const bool expectLoss = a.units.find(u'\uFFFD') != std::u16string::npos;
    if (out != a.units || lossy != expectLoss) {
      if (++mismatches <= 20)
        ADD_FAILURE() << "UTF-8 " << Hex(a.input) << "read as " << Hex(out) << (lossy ? "(lossy)" : "")
                      << ", Windows: " << Hex(a.units);
    }
  }
  EXPECT_EQ(mismatches, 0u);
  for (const UnitAnswer &a : page_->units) {
    std::string out;
    bool lossy = false;
    ASSERT_TRUE(WideToMultiByte(65001, a.input, &out, &lossy));
    const bool replaced =
        out.find("\xEF\xBF\xBD") != std::string::npos && a.input.find(u'\uFFFD') == std::u16string::npos;
    EXPECT_EQ(out, a.bytes) << "units " << Hex(a.input);
    EXPECT_EQ(lossy, replaced) << "units " << Hex(a.input);
  }
}

// The single-byte code pages that the Windows build converts through the system: every byte
// that both Windows and this build read as a character reads as the same character.
TEST(WineSingleBytePages, EveryByteReadsAsOnWindows) {
  if (std::string(QRX_CODE_PAGE_BYTES).empty()) GTEST_SKIP() << kNoReference;
  std::ifstream in(QRX_CODE_PAGE_BYTES);
  ASSERT_TRUE(in) << QRX_CODE_PAGE_BYTES;
  unsigned codePage = 0, byte = 0, valid = 0, unit = 0;
  size_t compared = 0, mismatches = 0;
  std::map<unsigned, size_t> oneSided;
  while (in >> codePage >> byte >> valid >> std::hex >> unit >> std::dec) {
    std::u16string out;
    bool lossy = false;
    ASSERT_TRUE(MultiByteToWide(static_cast<int>(codePage), std::string(1, static_cast<char>(byte)), &out, &lossy))
        << "code page " << codePage;
    if (!valid || unit == 0xFFFF || lossy) {
      oneSided[codePage] += (valid && unit != 0xFFFF) != !lossy;
      continue;
    }
    ++compared;
    if (out != std::u16string(1, static_cast<char16_t>(unit)) && ++mismatches <= 200)
      ADD_FAILURE() << "code page " << codePage << " byte " << byte << " reads as " << Hex(out)
                    << ", Windows: " << Hex(std::u16string(1, static_cast<char16_t>(unit)));
  }
  EXPECT_GT(compared, 8000u);
  EXPECT_EQ(mismatches, 0u);
  for (const auto &[page, count] : oneSided)
    if (count) std::printf("code page %u: %zu bytes read as characters by one side only\n", page, count);
}

} // namespace
