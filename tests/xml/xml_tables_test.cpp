// Lookups in the encoding-name and named-reference tables.
#include "xml/xml_encoding_table.h"
#include "xml/xml_entity_table.h"

#include <gtest/gtest.h>

namespace qrx {
namespace {

TEST(XmlTables, EncodingNamesIgnoreCase) {
  EXPECT_EQ(EncodingNameToCodePage("GBK"), 936);
  EXPECT_EQ(EncodingNameToCodePage("gb2312"), 936);
  EXPECT_EQ(EncodingNameToCodePage("UTF-8"), 65001);
  EXPECT_EQ(EncodingNameToCodePage("Shift_JIS"), 932);
  EXPECT_EQ(EncodingNameToCodePage("ISO-8859-1"), 28591);
  EXPECT_EQ(EncodingNameToCodePage("Windows-1252"), 1252);
  EXPECT_EQ(EncodingNameToCodePage("Big5"), 950);
  EXPECT_EQ(EncodingNameToCodePage("EUC-KR"), 51949);
  EXPECT_EQ(EncodingNameToCodePage("UTF-16"), 1200);
  EXPECT_EQ(EncodingNameToCodePage("x-unknown"), 0);
  EXPECT_EQ(EncodingNameToCodePage(""), 0);
  EXPECT_EQ(EncodingNameToCodePage(std::string(100, 'a')), 0);
  EXPECT_EQ(EncodingNameToCodePage("utf-8 "), 0); // whole names only
  EXPECT_GE(EncodingNameCount(), 365);
}

TEST(XmlTables, EntityNamesAreCaseSensitive) {
  EXPECT_EQ(HtmlEntityCount(), 253);
  EXPECT_EQ(HtmlEntityCodePoint("nbsp"), 160);
  EXPECT_EQ(HtmlEntityCodePoint("Eacute"), 201);
  EXPECT_EQ(HtmlEntityCodePoint("eacute"), 233);
  EXPECT_EQ(HtmlEntityCodePoint("euro"), 8364);
  EXPECT_EQ(HtmlEntityCodePoint("apos"), 39);
  EXPECT_EQ(HtmlEntityCodePoint("diams"), 9830);
  EXPECT_EQ(HtmlEntityCodePoint("AElig"), 198);
  EXPECT_EQ(HtmlEntityCodePoint("NBSP"), -1);
  EXPECT_EQ(HtmlEntityCodePoint(""), -1);
}

} // namespace
} // namespace qrx
