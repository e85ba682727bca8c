// Hostile documents: deep nesting, huge attributes, truncation and broken encodings give a
// result and a report, never a crash or a hang.
#include "xml/xml_document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace qrx {
namespace {

TEST(XmlHostile, MillionNestedElements) {
  const int depth = 1000000;
  std::string text;
  text.reserve(depth * 7);
  for (int i = 0; i < depth; ++i) text += "<a>";
  text += "x";
  for (int i = 0; i < depth; ++i) text += "</a>";
  CXmlDocument doc;
  ASSERT_TRUE(doc.SetDocument(text.c_str()));
  // Walk to the innermost element.
  doc.FindNext();
  int levels = 1;
  while (doc.FindNextChild()) {
    doc.Enter();
    ++levels;
  }
  EXPECT_EQ(levels, depth);
  EXPECT_EQ(doc.GetText(), "x");
  // The same nesting left open, and closed by end tags of another name.
  text.resize(depth * 3);
  for (int i = 0; i < 1000; ++i) text += "</b>";
  EXPECT_FALSE(doc.SetDocument(text.c_str()));
  EXPECT_LE(doc.GetReport().size(), 1100u);
}

TEST(XmlHostile, ReportStaysSmall) {
  // Short entries fill the report almost to its limit, then come lone end tags with long
  // names full of characters that grow when escaped.
  std::string name = "a" + std::string(5000, '&');
  std::string text = "<r>";
  for (int i = 0; i < 24; ++i) text += "</x>";
  for (int i = 0; i < 2000; ++i) text += "</" + name + ">";
  text += "</r>";
  CXmlDocument doc;
  EXPECT_FALSE(doc.SetDocument(text.c_str()));
  EXPECT_NE(doc.GetReport().find("lone_end_tag"), std::string::npos);
  EXPECT_LT(doc.GetReport().size(), 1700u);
}

TEST(XmlHostile, HundredMegabyteAttribute) {
  std::string text = "<r a=\"";
  text.append(100u << 20, 'v');
  text += "\" b='2'>t</r>";
  CXmlDocument doc;
  ASSERT_TRUE(doc.SetDocument(text.c_str()));
  doc.FindNext();
  EXPECT_EQ(doc.GetAttr("b"), "2");
  EXPECT_EQ(doc.GetText(), "t");
  EXPECT_EQ(doc.GetAttr("a").size(), 100u << 20);
  ASSERT_TRUE(doc.SetText("u"));
  EXPECT_EQ(doc.GetText(), "u");
}

TEST(XmlHostile, TruncatedAndBrokenInputs) {
  const char *inputs[] = {"<", "<<<<", "</", "<a", "<a b", "<a b=", "<a b='", "<!", "<!-", "<!--",
                          "<![CDATA[", "<?", "<!DOCTYPE", "<a/", "&", "<a>&#x", "<a>&#99999999999;</a>",
                          "<a =x/>", "<a 'q'/>", "<a b=c/>", "</a></a></a>", ">>>", "<a></A>"};
  for (const char *in : inputs) {
    CXmlDocument doc;
    bool ok = doc.SetDocument(in);
    EXPECT_FALSE(doc.GetReport().empty() && !ok) << in;
    doc.FindNext();
    doc.GetText();
    doc.GetAttr("b");
    doc.FindNextChild();
    doc.SetText("x");
    doc.SetAttr("b", "y");
    doc.AppendChild("c", "z");
    CXmlDocument again;
    again.SetDocument(doc.GetDocument().c_str());
  }
}

class XmlHostileFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("qrx_xmlh_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string &bytes) {
    std::string path = (dir_ / "h.xml").string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::filesystem::path dir_;
};

TEST_F(XmlHostileFileTest, TruncatedUtf16) {
  CXmlDocument doc;
  EXPECT_FALSE(doc.LoadFile(Write(std::string("\xFF\xFE<\0a\0>\0x\0<", 11))));
  EXPECT_NE(doc.GetReport().find("truncation_error"), std::string::npos);
  // A lone surrogate at the end is a conversion loss, not a crash.
  EXPECT_TRUE(doc.LoadFile(Write(std::string("\xFF\xFE<\0a\0/\0>\0\x00\xD8", 10))));
}

TEST_F(XmlHostileFileTest, InvalidUtf8DeclaredUtf8) {
  CXmlDocument doc;
  EXPECT_TRUE(doc.LoadFile(Write("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>\xFF\xC0\xE4</r>")));
  EXPECT_NE(doc.GetReport().find("conversion_loss"), std::string::npos);
  doc.FindNext();
  EXPECT_FALSE(doc.GetText().empty());
}

TEST_F(XmlHostileFileTest, UnknownDeclaredEncodingIsNotConverted) {
  CXmlDocument doc;
  std::string body = "<?xml version=\"1.0\" encoding=\"x-no-such\"?><r>\xE4\xB8\xAD</r>";
  EXPECT_TRUE(doc.LoadFile(Write(body)));
  EXPECT_EQ(doc.GetDocument(), body);
  EXPECT_NE(doc.GetReport().find("encoding=\"x-no-such\""), std::string::npos);
  std::string path = (dir_ / "out.xml").string();
  ASSERT_TRUE(doc.SaveFile(path));
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), body);
}

TEST_F(XmlHostileFileTest, NulInTheMiddle) {
  CXmlDocument doc;
  EXPECT_TRUE(doc.LoadFile(Write(std::string("<r a='1\0'>x\0y</r>", 17))));
  doc.FindNext();
  EXPECT_EQ(doc.GetAttr("a"), "1");
  EXPECT_EQ(doc.GetText(), "xy");
}

} // namespace
} // namespace qrx
