// Round trips that every build must answer alike (the Linux build through its tables and iconv,
// the Windows builds through MultiByteToWideChar and WideCharToMultiByte): a setting file in any
// of these code pages reads and saves the same at every station. Included by the Linux and the
// Windows code-page tests.
#pragma once

#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace qrx::test {

struct CodePageRoundTrip {
  int codePage;
  std::u16string text;
  std::string bytes;
};

inline const CodePageRoundTrip kCodePageRoundTrips[] = {
    {852, u"Łódź", "\x9D\xA2\x64\xAB"},
    {28592, u"Łódź", "\xA3\xF3\x64\xBC"},
    {737, u"Αθήνα", "\x80\x9F\xE3\xA4\x98"},
    {869, u"Αθήνα", "\xA4\xE2\x9E\xE7\xD6"},
    {775, u"Rīga", "R\x8Cga"},
    {857, u"İstanbul", "\x98stanbul"},
    {862, u"שלום", "\x99\x8C\x85\x8D"},
    {866, u"Москва", "\x8C\xAE\xE1\xAA\xA2\xA0"},
    {10007, u"Москва", "\x8C\xEE\xF1\xEA\xE2\xE0"},
    {20866, u"Москва", "\xED\xCF\xD3\xCB\xD7\xC1"},
    {10000, u"Café", "Caf\x8E"},
    {37, u"QRX-01", "\xD8\xD9\xE7\x60\xF0\xF1"},
    {500, u"QRX-01", "\xD8\xD9\xE7\x60\xF0\xF1"},
    {1361, u"한국", "\xD0\x65\x8A\x82"},
    {51949, u"한국", "\xC7\xD1\xB1\xB9"}, // EUC-KR
    {20932, u"日本", "\xC6\xFC\xCB\xDC"},
    {65000, u"A€b", "A+IKw-b"}, // UTF-7: no loss where none happened
};

TEST(CodePageRoundTrips, ReadAndWrittenAlikeOnEveryBuild) {
  for (const auto &c : kCodePageRoundTrips) {
    SCOPED_TRACE("code page " + std::to_string(c.codePage));
    EXPECT_NE(platform::CodePageName(c.codePage), nullptr);
    std::u16string wide;
    std::string bytes;
    bool lossy = false;
    EXPECT_TRUE(platform::MultiByteToWide(c.codePage, c.bytes, &wide, &lossy));
    EXPECT_EQ(wide, c.text);
    EXPECT_TRUE(platform::WideToMultiByte(c.codePage, c.text, &bytes, &lossy));
    EXPECT_EQ(bytes, c.bytes);
    EXPECT_FALSE(lossy);
  }
  // A character the code page lacks is a loss on every build; a code page nobody has is refused.
  std::string bytes;
  bool lossy = false;
  EXPECT_TRUE(platform::WideToMultiByte(852, u"a\u4E2Db", &bytes, &lossy));
  EXPECT_EQ(bytes, "a?b");
  EXPECT_TRUE(lossy);
  EXPECT_FALSE(platform::WideToMultiByte(12345, u"x", &bytes, &lossy));
  EXPECT_EQ(platform::CodePageName(12345), nullptr);
}

} // namespace qrx::test
