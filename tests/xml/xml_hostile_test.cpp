// Hostile documents: deep nesting, huge attributes, truncation and broken encodings give a
// result and a report, never a crash or a hang.
#include "xml/xml_document.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace qrx
