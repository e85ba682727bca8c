// Loading and saving files in their encodings: marks, declarations, UTF-16, conversions.
#include "xml/xml_document.h"

#include "platform/code_page.h"
#include "platform/fault_injection.h"

#include <gtest/gtest.h>

#include "../support/station_folder.h"

namespace qrx {
namespace {

class XmlFileTest : public ::testing::Test {
protected:
  std::string Write(const std::string &name, const std::string &bytes) { return dir_.Write(name, bytes); }
  static std::string Read(const std::string &path) { return test::ReadBytes(path); }
  test::TempFolder dir_{"xml"};
};

// "中文" in the encodings of the tests.
const std::string kGbk = "\xD6\xD0\xCE\xC4";
const std::string kUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";
const std::string kSjis = "\x92\x86\x95\xB6";

// UTF-16 bytes of text, little-endian unless asked otherwise.
std::string Utf16(const std::u16string &text, bool bigEndian = false) {
  std::string out;
  for (char16_t c : text) {
    out += static_cast<char>(bigEndian ? c >> 8 : c & 0xFF);
    out += static_cast<char>(bigEndian ? c & 0xFF : c >> 8);
  }
  return out;
}

// A file loaded, its one value (read in the ANSI code page, GBK) changed and saved again.
struct RoundTrip {
  const char *name;
  std::string file, value, report, saved;
};

TEST_F(XmlFileTest, EncodingsRoundTripAnEditedValue) {
  const std::string le = Utf16(u"<r><k>\u4E2D\u6587</k></r>");
  const std::string be = "\xFE\xFF" + Utf16(u"<r><k>\u4E2D\u6587</k></r>", true);
  const std::string gb = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<r><k>";
  const std::string sjis = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><r><k>";
  const std::string bom = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"GBK\"?><r><k>";
  const std::string u16 = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><r><k>";
  const RoundTrip cases[] = {
      {"UTF-8 without a mark", "<r>\r\n<k>" + kUtf8 + "</k>\r\n</r>\r\n", kGbk + "2", "",
       "<r>\r\n<k>" + kUtf8 + "2</k>\r\n</r>\r\n"},
      {"the UTF-8 mark wins over the declaration and is kept", bom + kUtf8 + "</k></r>", kGbk,
       "<bom encoding=\"UTF-8\"/>", bom + kUtf8 + "</k></r>"},
      {"GBK declared is taken as it is", gb + kGbk + "</k></r>", kGbk + kGbk, "!converted_to",
       gb + kGbk + kGbk + "</k></r>"},
      {"UTF-16LE with a mark", "\xFF\xFE" + le, kGbk + "!", "<bom encoding=\"UTF-16LE\"/>",
       "\xFF\xFE" + Utf16(u"<r><k>\u4E2D\u6587!</k></r>")},
      {"UTF-16BE with a mark", be, kGbk, "<endian_swap/>", be},
      {"UTF-16 without a mark gets one", le, kGbk, "", "\xFF\xFE" + le},
      // Saving follows the declaration: real UTF-16 with its mark from now on.
      {"8-bit text declaring UTF-16", u16 + kGbk + "</k></r>", kGbk, "", ""},
      {"Shift_JIS converted both ways", sjis + kSjis + "</k></r>", kGbk + "x",
       "<converted_to encoding=\"GBK\"/>", sjis + kSjis + "x</k></r>"},
  };
  for (const RoundTrip &c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = Write("f.xml", c.file);
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(path)) << doc.GetReport();
    // The report holds the entry, or with '!' before it does not.
    if (!c.report.empty()) {
      EXPECT_EQ(doc.GetReport().find(c.report.substr(c.report[0] == '!')) == std::string::npos,
                c.report[0] == '!') << doc.GetReport();
    }
    ASSERT_TRUE(doc.FindNext("r"));
    ASSERT_TRUE(doc.FindNextChild("k"));
    EXPECT_EQ(doc.GetChildText(), kGbk);
    EXPECT_TRUE(doc.SetChildText(c.value.c_str()));
    EXPECT_TRUE(doc.SaveFile(path)) << doc.GetReport();
    EXPECT_EQ(c.saved.empty() ? Read(path).substr(0, 4) : Read(path),
              c.saved.empty() ? std::string("\xFF\xFE<\0", 4) : c.saved);
  }
}

// Files read whole or in part, well formed or not: the verdict, an entry of the report ('!'
// before it: an entry the report must not hold) and the root's text afterwards.
TEST_F(XmlFileTest, LoadVerdictsReportsAndTexts) {
  struct Case {
    std::string bytes;
    bool loads;
    const char *entry, *text;
  } cases[] = {
      {"<r/>", true, "<read encoding=\"UTF-8\" length=\"4\"/>", ""},
      {std::string("<r>a\0b\0</r>", 11), true, "<nulls_removed count=\"2\"/>", "ab"},
      {std::string("<r a='1\0'>x\0y</r>", 17), true, "nulls_removed", "xy"},
      // Not starting with "<": valid UTF-8 is detected, other bytes stay in the ANSI code page.
      {" <r>" + kUtf8 + "</r>", true, "utf8_detection", kGbk.c_str()},
      {" <r>" + kGbk + "</r>", true, "!utf8_detection", kGbk.c_str()},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>\xFF\xC0\xE4</r>", true, "conversion_loss",
       nullptr},
      {std::string("\xFF\xFE<\0a\0>\0x\0<", 11), false, "truncation_error", nullptr},
      // A lone surrogate at the end is a conversion loss, not a crash.
      {std::string("\xFF\xFE<\0a\0/\0>\0\x00\xD8", 10), true, "", ""},
      {"", false, "no_root_element", nullptr},
      {"<a/><b/>", false, "root_has_sibling", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.bytes);
    CXmlDocument doc;
    EXPECT_EQ(doc.LoadFile(Write("f.xml", c.bytes)), c.loads);
    const bool absent = c.entry[0] == '!';
    EXPECT_EQ(doc.GetReport().find(c.entry + absent) == std::string::npos, absent) << doc.GetReport();
    if (c.text) {
      ASSERT_TRUE(doc.FindNext());
      EXPECT_EQ(doc.GetText(), c.text);
    }
  }
  CXmlDocument doc;
  doc.LoadFile(Write("f.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>\xFF\xC0\xE4</r>"));
  doc.FindNext();
  EXPECT_FALSE(doc.GetText().empty());
  doc.LoadFile(Write("f.xml", std::string("<r a='1\0'>x\0y</r>", 17)));
  doc.FindNext();
  EXPECT_EQ(doc.GetAttr("a"), "1");
  ASSERT_TRUE(doc.SetDocument("<r/>"));
  ASSERT_TRUE(doc.SaveFile(Write("f.xml", "")));
  EXPECT_NE(doc.GetReport().find("<write encoding=\"UTF-8\" length=\"4\"/>"), std::string::npos);
}

// An encoding without a converter here (HZ), or one not known at all: the text is kept as its
// bytes and said so, never emptied, and a save writes those bytes back, so the file loses
// nothing.
TEST_F(XmlFileTest, EncodingsWithoutConverterAreKeptAndReported) {
  const std::pair<std::string, const char *> cases[] = {
      {"hz-gb-2312", "<conversion_error"}, // "中华" in HZ, all ASCII bytes
      {"x-no-such", "encoding=\"x-no-such\""}};
  for (const auto &[encoding, entry] : cases) {
    SCOPED_TRACE(encoding);
    const std::string file = "<?xml version=\"1.0\" encoding=\"" + encoding +
                             "\"?>\r\n<r><k>~{VP;*~}\xE4\xB8\xAD</k><n>1</n></r>";
    std::string path = Write("hz.xml", file);
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(path)) << doc.GetReport();
    EXPECT_EQ(doc.GetDocument(), file);
    EXPECT_NE(doc.GetReport().find(entry), std::string::npos) << doc.GetReport();
    EXPECT_EQ(doc.GetReport().find("converted_to"), std::string::npos) << doc.GetReport();
    ASSERT_TRUE(doc.FindNext("r"));
    ASSERT_TRUE(doc.FindNextChild("n"));
    EXPECT_TRUE(doc.SetChildText("2"));
    ASSERT_TRUE(doc.SaveFile(path)) << doc.GetReport();
    EXPECT_NE(doc.GetReport().find(entry), std::string::npos) << doc.GetReport();
    std::string expected = file;
    expected.replace(expected.find("<n>1"), 4, "<n>2");
    EXPECT_EQ(Read(path), expected);
  }
}

TEST_F(XmlFileTest, HtmlMetaCharsetIsHonoured) {
  CXmlDocument doc;
  doc.LoadFile(Write("p.html",
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
      "</head><body>" + kSjis + "</body></html>"));
  EXPECT_NE(doc.GetDocument().find(kGbk), std::string::npos) << doc.GetReport();
  EXPECT_TRUE(doc.LoadFile(Write("q.html", "<html><meta charset='utf-8'/><b>" + kUtf8 + "</b></html>")));
  doc.FindNext();
  ASSERT_TRUE(doc.FindNextChild("b"));
  EXPECT_EQ(doc.GetChildText(), kGbk);
}

// Saves that fail half way, which leave the old file; a missing file, a folder that is not
// there.
TEST_F(XmlFileTest, FailedSavesAndMissingFiles) {
  std::string path = Write("s.xml", "<r>old</r>");
  CXmlDocument doc;
  ASSERT_TRUE(doc.LoadFile(path));
  doc.FindNext();
  ASSERT_TRUE(doc.SetText("new"));
  for (auto fault : {platform::Fault::kFileWrite, platform::Fault::kFileRename}) {
    platform::FailNext(fault);
    EXPECT_FALSE(doc.SaveFile(path));
    platform::ClearFaults();
    EXPECT_NE(doc.GetReport().find("file_error"), std::string::npos);
    EXPECT_EQ(doc.GetReport().find("<write"), std::string::npos);
    EXPECT_EQ(Read(path), "<r>old</r>");
  }
  EXPECT_TRUE(doc.SaveFile(path));
  EXPECT_EQ(Read(path), "<r>new</r>");
  EXPECT_FALSE(doc.LoadFile((dir_.Root() / "none.xml").string()));
  EXPECT_NE(doc.GetReport().find("<file_error msg="), std::string::npos);
  EXPECT_FALSE(doc.FindNext());
  ASSERT_TRUE(doc.SetDocument("<a/>"));
  EXPECT_FALSE(doc.SaveFile((dir_.Root() / "no" / "dir.xml").string()));
  EXPECT_NE(doc.GetReport().find("file_error"), std::string::npos);
}

// The structure a file's text shows: each element's name and its children, in order.
std::string Tree(CXmlDocument &doc) {
  std::string out;
  doc.Rewind();
  if (!doc.FindNext()) return "-";
  out = doc.GetElementName() + "(";
  doc.Enter();
  while (doc.FindNext()) {
    out += doc.GetElementName() + "[" + doc.GetText() + "]";
  }
  doc.Rewind();
  return out + ")";
}

// Characters that the ANSI code page (GBK) cannot hold, placed where a '?' would change the
// markup: right after "<" and "</", right before the ">" of a processing instruction. Thai
// U+0E01 is not in GBK; U+1F600 is beyond the 16-bit range.
TEST_F(XmlFileTest, ConversionLossNeverChangesStructure) {
  if (platform::AnsiCodePage() != 936) GTEST_SKIP() << "needs the default code page 936";
  const std::string thai = "\xE0\xB8\x81", emoji = "\xF0\x9F\x98\x80";
  const std::string body = "<?pi x" + thai + "><q/>?><r><" + thai + "a>1</" + thai + "a><" + emoji +
                           "/><k a=\"" + thai + "\">v</k></r>";
  auto expectTree = [&](const std::string &file) {
    CXmlDocument doc;
    doc.LoadFile(file);
    EXPECT_NE(doc.GetReport().find("conversion_loss"), std::string::npos) << doc.GetReport();
    EXPECT_TRUE(doc.WellFormed()) << doc.GetReport() << "\n" << doc.GetDocument();
    std::string tree = Tree(doc);
    // Lost name characters become '_' at the start of a name, never "<?" or "</?"; the
    // processing instruction keeps its "<q/>". (How many '?' the emoji itself leaves behind
    // is the converter's business.)
    EXPECT_TRUE(tree == "r(_a[1]_[]k[v])" || tree == "r(_a[1]_?[]k[v])") << tree << "\n"
                                                                          << doc.GetDocument();
  };
  expectTree(Write("u8.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + body));
  // UTF-16LE with a mark, and an 8-bit code page that is not the ANSI one.
  expectTree(Write("u16.xml", "\xFF\xFE" + Utf16(u"<?pi x\u0E01><q/>?><r><\u0E01a>1</\u0E01a>"
                                                   u"<\U0001F600/><k a=\"\u0E01\">v</k></r>")));
  expectTree(Write("tis.xml", "<?xml version=\"1.0\" encoding=\"TIS-620\"?><?pi x\xA1><q/>?><r><\xA1"
                              "a>1</\xA1" "a><\xA1/><k a=\"\xA1\">v</k></r>"));
}

// Characters beyond U+FFFF travel whole between UTF-16 and UTF-8 files when the ANSI code
// page is UTF-8 (run with QRX_ACP=65001; skipped otherwise).
TEST_F(XmlFileTest, XmlFileUtf8AnsiKeepsSurrogatePairsWhole) {
  if (platform::AnsiCodePage() != 65001) GTEST_SKIP() << "needs QRX_ACP=65001";
  const std::string wide = "\xFF\xFE" + Utf16(u"<r a=\"\U0001F600\">\U0001F600x</r>");
  CXmlDocument doc;
  const std::string path = Write("w.xml", wide);
  ASSERT_TRUE(doc.LoadFile(path)) << doc.GetReport();
  EXPECT_EQ(doc.GetReport().find("conversion_loss"), std::string::npos) << doc.GetReport();
  doc.FindNext("r");
  EXPECT_EQ(doc.GetText(), "\xF0\x9F\x98\x80x");
  EXPECT_EQ(doc.GetAttr("a"), "\xF0\x9F\x98\x80");
  ASSERT_TRUE(doc.SaveFile(path));
  EXPECT_EQ(Read(path), wide);
  // Declared as another encoding that holds it (GB18030), the save converts it whole; a system
  // without that code page (Wine 8) keeps the bytes and says so.
  CXmlDocument gb;
  const std::string utf8 = "<?xml version=\"1.0\" encoding=\"GB18030\"?><r>\xF0\x9F\x98\x80</r>";
  ASSERT_TRUE(gb.SetDocument(utf8.c_str()));
  ASSERT_TRUE(gb.SaveFile(path));
  EXPECT_EQ(gb.GetReport().find("conversion_loss"), std::string::npos) << gb.GetReport();
  if (!platform::CodePageName(54936)) {
    EXPECT_NE(gb.GetReport().find("conversion_error"), std::string::npos) << gb.GetReport();
    EXPECT_EQ(Read(path), utf8);
    return;
  }
  EXPECT_EQ(Read(path), "<?xml version=\"1.0\" encoding=\"GB18030\"?><r>\x94\x39\xFC\x36</r>");
}

} // namespace
} // namespace qrx
