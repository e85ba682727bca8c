// Parsing, navigation, reading and in-place editing of the XML document.
#include "xml/xml_document.h"

#include <gtest/gtest.h>

namespace qrx {
namespace {

// Describes the root, its sections and their keys through the cursor API only (name, text
// and attribute "v" of each), so two documents can be compared element by element.
std::string Dump(CXmlDocument &doc) {
  std::string out;
  doc.Rewind();
  if (!doc.FindNext()) return out;
  out += doc.GetElementName() + "[" + doc.GetText() + "]{";
  doc.Enter();
  while (doc.FindNext()) {
    out += doc.GetElementName() + "[" + doc.GetText() + "|" + doc.GetAttr("v") + "](";
    while (doc.FindNextChild())
      out += doc.GetChildText() + "|" + doc.GetChildAttr("v") + ";";
    out += ")";
  }
  doc.Rewind();
  return out + "}";
}

// An edit that forgot to shift a position shows up as a difference to a fresh parse.
void ExpectConsistentWithReparse(CXmlDocument &doc) {
  CXmlDocument fresh;
  fresh.SetDocument(doc.GetDocument().c_str());
  EXPECT_EQ(Dump(doc), Dump(fresh));
}

TEST(XmlNavigation, FindsSectionsAndKeysByName) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.SetDocument("<?xml version=\"1.0\"?>\r\n<phone model=\"M1\">\r\n"
                              "<CommonConfig><A>1</A><B>2</B></CommonConfig>\r\n"
                              "<SpecialSettings><A>3</A></SpecialSettings>\r\n</phone>\r\n"));
  ASSERT_TRUE(doc.FindNext("phone"));
  EXPECT_EQ(doc.GetAttr("model"), "M1");
  EXPECT_TRUE(doc.Enter());
  ASSERT_TRUE(doc.FindNext("SpecialSettings"));
  ASSERT_TRUE(doc.FindNextChild("A"));
  EXPECT_EQ(doc.GetChildText(), "3");
  EXPECT_FALSE(doc.FindNextChild("A"));
  EXPECT_EQ(doc.GetChildText(), "3"); // a failed search keeps the position
  // FindNext continues after the main position: CommonConfig is behind it now.
  EXPECT_FALSE(doc.FindNext("CommonConfig"));
  doc.Rewind();
  ASSERT_TRUE(doc.FindNext("phone"));
  doc.Enter();
  ASSERT_TRUE(doc.FindNext("CommonConfig"));
  ASSERT_TRUE(doc.FindNextChild("B"));
  EXPECT_EQ(doc.GetChildText(), "2");
}

TEST(XmlNavigation, FindNextChildOnRewoundDocumentSelectsRootFirst) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.SetDocument("<root><a>x</a><b>y</b></root>"));
  ASSERT_TRUE(doc.FindNextChild("b"));
  EXPECT_EQ(doc.GetElementName(), "root");
  EXPECT_EQ(doc.GetChildText(), "y");
}

TEST(XmlNavigation, NamesMatchWholeAndByCaseOnlyWhenAsked) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.SetDocument("<r><Key1 Val='a'/><key v=b/></r>"));
  doc.FindNext();
  EXPECT_FALSE(doc.FindNextChild("Key"));
  EXPECT_FALSE(doc.FindNextChild("KEY"));
  doc.SetDocumentFlags(CXmlDocument::kIgnoreCase);
  doc.Rewind();
  doc.FindNext();
  ASSERT_TRUE(doc.FindNextChild("KEY"));
  EXPECT_EQ(doc.GetChildAttr("V"), "b"); // unquoted value runs to the end of the tag
  doc.Rewind();
  doc.FindNext();
  ASSERT_TRUE(doc.FindNextChild("key1"));
  EXPECT_EQ(doc.GetChildAttr("val"), "a");
  EXPECT_EQ(doc.GetChildAttr("va"), "");
}

TEST(XmlReading, DecodesReferencesAndTakesCdataLiterally) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.SetDocument(
      "<r a=\"&quot;x&apos; &#65;&#x42;&amp;amp;\">"
      "1 &lt; 2 &gt; 0 &unknown; &#0; &#xD800; &<![CDATA[&lt;raw>]]><!-- note -->end</r>"));
  doc.FindNext();
  EXPECT_EQ(doc.GetAttr("a"), "\"x' AB&amp;");
  EXPECT_EQ(doc.GetText(), "1 < 2 > 0 &unknown; &#0; &#xD800; &&lt;raw>end");
}

TEST(XmlReading, HtmlNamedReferencesBecomeAnsiCharacters) {
  CXmlDocument doc;
  // GBK holds the euro sign (0x80) and U+00B7 middle dot (A1A4) but not the snowman.
  ASSERT_TRUE(doc.SetDocument("<r>&euro;&middot;&#x2603;&Eacute;</r>"));
  doc.FindNext();
  std::string t = doc.GetText();
  EXPECT_EQ(t.substr(0, 3), "\x80\xA1\xA4");
  // Characters GBK cannot hold keep their reference so nothing is lost on a save.
  EXPECT_NE(t.find("&#x2603;"), std::string::npos);
}

TEST(XmlReading, TextOfElementWithChildrenOrEmptyTagIsEmpty) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.SetDocument("<r>a<b/>c</r>"));
  doc.FindNext();
  EXPECT_EQ(doc.GetText(), "");
  ASSERT_TRUE(doc.FindNextChild("b"));
  EXPECT_EQ(doc.GetChildText(), "");
}

TEST(XmlEditing, SetTextEscapesAndReadsBack) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.SetDocument("<r><k>old</k><n v=\"1\">x</n></r>"));
  doc.FindNext();
  ASSERT_TRUE(doc.FindNextChild("k"));
  ASSERT_TRUE(doc.SetChildText("a<b&c"));
  EXPECT_EQ(doc.GetDocument(), "<r><k>a&lt;b&amp;c</k><n v=\"1\">x</n></r>");
  EXPECT_EQ(doc.GetChildText(), "a<b&c");
  ASSERT_TRUE(doc.FindNextChild("n"));
  EXPECT_EQ(doc.GetChildText(), "x");
  EXPECT_EQ(doc.GetChildAttr("v"), "1");
  ExpectConsistentWithReparse(doc);
}

TEST(XmlEditing, CdataSplitsAroundItsOwnTerminator) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.SetDocument("<r><k/></r>"));
  doc.FindNext();
  doc.FindNextChild("k");
  ASSERT_TRUE(doc.SetChildText("a]]>b", CXmlDocument::kWriteCdata));
  EXPECT_EQ(doc.GetDocument(), "<r><k><![CDATA[a]]]]><![CDATA[>b]]></k></r>");
  EXPECT_EQ(doc.GetChildText(), "a]]>b");
  ExpectConsistentWithReparse(doc);
}

TEST(XmlEditing, SetTextRefusedOnElementWithChildren) {
  CXmlDocument doc;
  const char *text = "<r><s><k>1</k></s></r>";
  ASSERT_TRUE(doc.SetDocument(text));
  doc.FindNext();
  doc.FindNextChild("s");
  EXPECT_FALSE(doc.SetChildText("x"));
  EXPECT_EQ(doc.GetDocument(), text);
}

TEST(XmlEditing, EmptyTagBecomesStartAndEndTag) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.SetDocument("<r><k a='1' /><z>9</z></r>"));
  doc.FindNext();
  doc.FindNextChild("k");
  ASSERT_TRUE(doc.SetChildText("v"));
  EXPECT_EQ(doc.GetDocument(), "<r><k a='1'>v</k><z>9</z></r>");
  EXPECT_EQ(doc.GetChildAttr("a"), "1");
  ASSERT_TRUE(doc.FindNextChild("z"));
  EXPECT_EQ(doc.GetChildText(), "9");
}

TEST(XmlEditing, SetAttrReplacesOrAddsAndShiftsLaterElements) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.SetDocument("<r><k v=\"1\" w='2'/><k v=long>t</k><e/></r>"));
  doc.FindNext();
  ASSERT_TRUE(doc.FindNextChild("k"));
  ASSERT_TRUE(doc.SetChildAttr("v", "a\"b'<&"));
  ASSERT_TRUE(doc.SetChildAttr("x", "new"));
  EXPECT_EQ(doc.GetChildAttr("v"), "a\"b'<&");
  EXPECT_EQ(doc.GetChildAttr("w"), "2");
  ASSERT_TRUE(doc.FindNextChild("k"));
  ASSERT_TRUE(doc.SetChildAttr("v", "s"));
  EXPECT_EQ(doc.GetChildText(), "t");
  EXPECT_EQ(doc.GetDocument(),
            "<r><k v=\"a&quot;b&apos;&lt;&amp;\" w='2' x=\"new\"/><k v=\"s\">t</k><e/></r>");
  ASSERT_TRUE(doc.FindNextChild("e"));
  EXPECT_TRUE(doc.SetChildAttr("q", "1"));
  EXPECT_EQ(doc.GetDocument().substr(doc.GetDocument().size() - 14), "<e q=\"1\"/></r>");
  EXPECT_FALSE(doc.SetChildAttr("bad name", "1"));
  EXPECT_FALSE(doc.SetChildAttr(nullptr, "1"));
  ExpectConsistentWithReparse(doc);
}

TEST(XmlEditing, WritingFlags) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.SetDocument("<r/>"));
  doc.FindNext();
  ASSERT_TRUE(doc.AppendChild("a", "", CXmlDocument::kSpacedEmptyTag | CXmlDocument::kNoLineBreaks));
  ASSERT_TRUE(doc.AppendChild("b", "&amp; & \"q\"", CXmlDocument::kKeepReferences |
                                                    CXmlDocument::kEscapeQuotes |
                                                    CXmlDocument::kNoLineBreaks));
  EXPECT_EQ(doc.GetDocument(), "<r><a /><b>&amp; &amp; &quot;q&quot;</b></r>");
  EXPECT_EQ(doc.GetChildText(), "& & \"q\"");
}

TEST(XmlEditing, AppendChildUnderEmptyRootRewritesRoot) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.SetDocument("<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<phone/>\r\n"));
  ASSERT_TRUE(doc.FindNext("phone"));
  ASSERT_TRUE(doc.AppendChild("CommonConfig"));
  EXPECT_EQ(doc.GetDocument(), "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n"
                               "<phone>\r\n<CommonConfig/>\r\n</phone>\r\n");
  // Build a section with keys the way the setting files do.
  ASSERT_TRUE(doc.Enter());
  ASSERT_TRUE(doc.AppendChild("Key1", "v1"));
  ASSERT_TRUE(doc.AppendChild("Key2", "v2"));
  ASSERT_TRUE(doc.AppendElement("Other"));
  EXPECT_EQ(doc.GetDocument(), "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n"
                               "<phone>\r\n<CommonConfig>\r\n<Key1>v1</Key1>\r\n<Key2>v2</Key2>\r\n"
                               "</CommonConfig>\r\n<Other/>\r\n</phone>\r\n");
  EXPECT_TRUE(doc.WellFormed());
  doc.Rewind();
  doc.FindNext("phone");
  doc.Enter();
  ASSERT_TRUE(doc.FindNext("CommonConfig"));
  ASSERT_TRUE(doc.FindNextChild("Key2"));
  EXPECT_EQ(doc.GetChildText(), "v2");
  ASSERT_TRUE(doc.FindNext("Other"));
  ExpectConsistentWithReparse(doc);
}

TEST(XmlEditing, AppendChildAfterChildPositionAndAppendElementCreatesRoot) {
  CXmlDocument doc;
  EXPECT_FALSE(doc.SetDocument(""));
  EXPECT_FALSE(doc.AppendChild("x")); // no main position
  ASSERT_TRUE(doc.AppendElement("root"));
  EXPECT_TRUE(doc.WellFormed());
  ASSERT_TRUE(doc.AppendChild("a", "1"));
  ASSERT_TRUE(doc.AppendChild("c", "3"));
  doc.Rewind();
  doc.FindNext();
  ASSERT_TRUE(doc.FindNextChild("a"));
  ASSERT_TRUE(doc.AppendChild("b", "2")); // after the child position
  EXPECT_EQ(doc.GetDocument(), "<root>\r\n<a>1</a>\r\n<b>2</b>\r\n<c>3</c>\r\n</root>\r\n");
  doc.Rewind();
  doc.FindNext();
  std::string order;
  while (doc.FindNextChild()) order += doc.GetChildText();
  EXPECT_EQ(order, "123");
  EXPECT_FALSE(doc.AppendElement(""));
  EXPECT_FALSE(doc.AppendElement("a<b"));
  EXPECT_FALSE(doc.AppendElement(nullptr));
}

TEST(XmlEditing, ManyEditsKeepTableConsistent) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.SetDocument("<r><s><k>1</k><k>2</k></s><t><k>3</k></t></r>"));
  for (int round = 0; round < 20; ++round) {
    doc.Rewind();
    doc.FindNext();
    doc.Enter();
    while (doc.FindNext()) {
      while (doc.FindNextChild()) {
        ASSERT_TRUE(doc.SetChildText(std::string(round % 3 * 5, 'x').c_str()));
        ASSERT_TRUE(doc.SetChildAttr("v", std::to_string(round * 1000).c_str()));
      }
      ASSERT_TRUE(doc.AppendChild("k", "n"));
    }
  }
  EXPECT_TRUE(doc.WellFormed());
  ExpectConsistentWithReparse(doc);
}

TEST(XmlParse, StructureErrorsAreReported) {
  struct Case {
    const char *text;
    const char *entry;
  };
  const Case cases[] = {
      {"", "<no_root_element/>"},
      {"<a/><b/>", "<root_has_sibling tagname=\"b\" offset=\"4\"/>"},
      {"<a></b></a>", "<lone_end_tag tagname=\"b\" offset=\"3\"/>"},
      {"<a><b>x</a>", "<unended_start_tag tagname=\"b\" offset=\"3\"/>"},
      {"<a>", "<unended_start_tag tagname=\"a\" offset=\"0\"/>"},
      {"<", "<first_tag_syntax offset=\"0\"/>"},
      {"<a>< b</a>", "<first_tag_syntax offset=\"3\"/>"},
      {"<a><!-x</a>", "<comment_tag_syntax offset=\"3\"/>"},
      {"<a><![x</a>", "<cdata_section_syntax offset=\"3\"/>"},
      {"<!DOC x><a/>", "<doctype_tag_syntax offset=\"0\"/>"},
      {"<!x><a/>", "<exclamation_tag_syntax offset=\"0\"/>"},
      {"<a><!-- x", "<unterminated_tag_syntax type=\"comment\" offset=\"3\"/>"},
      {"<a><![CDATA[x", "<unterminated_tag_syntax type=\"cdata_section\" offset=\"3\"/>"},
      {"<a><?pi", "<unterminated_tag_syntax type=\"processing_instruction\" offset=\"3\"/>"},
      {"<!DOCTYPE a [<!ENTITY x \">\">", "<unterminated_tag_syntax type=\"document_type\" offset=\"0\"/>"},
      {"<a x=\"1", "<unterminated_tag_syntax type=\"start_tag\" offset=\"0\"/>"},
      {"<a></a", "<unterminated_tag_syntax type=\"end_tag\" offset=\"3\"/>"},
  };
  for (const Case &c : cases) {
    CXmlDocument doc;
    EXPECT_FALSE(doc.SetDocument(c.text)) << c.text;
    EXPECT_NE(doc.GetReport().find(c.entry), std::string::npos) << c.text << " -> " << doc.GetReport();
  }
}

TEST(XmlParse, RecoversElementsAroundErrors) {
  CXmlDocument doc;
  EXPECT_FALSE(doc.SetDocument("<a/><b/>"));
  EXPECT_TRUE(doc.FindNext("a"));
  EXPECT_TRUE(doc.FindNext("b"));
  // An unended element ends where its parent ends; the parent's text stays reachable.
  EXPECT_FALSE(doc.SetDocument("<r><s><k>1</k></r>"));
  doc.FindNext("r");
  ASSERT_TRUE(doc.FindNextChild("s"));
  doc.Enter();
  ASSERT_TRUE(doc.FindNextChild("k"));
  EXPECT_EQ(doc.GetChildText(), "1");
  // A tag cut short by another "<" does not swallow the element behind it.
  EXPECT_FALSE(doc.SetDocument("<r><a x='1' <b>t</b></r>"));
  doc.Rewind();
  doc.FindNext("r");
  ASSERT_TRUE(doc.FindNextChild("b"));
  EXPECT_EQ(doc.GetChildText(), "t");
}

TEST(XmlParse, DoctypeCommentsAndInstructionsAreSkipped) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.SetDocument("<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"<b>\">]>"
                              "<!-- <x> --><r><![CDATA[<y>]]><?p <z>?></r><!-- tail -->"));
  doc.FindNext();
  EXPECT_EQ(doc.GetElementName(), "r");
  EXPECT_FALSE(doc.FindNextChild());
  EXPECT_EQ(doc.GetText(), "<y>");
}

TEST(XmlParse, GbkTrailBytesDoNotEndCdataOrNames) {
  CXmlDocument doc;
  // 0x81 0x5D is one GBK character whose trail byte is "]": "]]>" must not be seen in it.
  ASSERT_TRUE(doc.SetDocument("<r><![CDATA[\x81]]>x]]></r>"));
  doc.FindNext();
  EXPECT_EQ(doc.GetText(), "\x81]]>x");
  // Case folding leaves trail bytes alone: 0x81 0x41 and 0x81 0x61 are different characters.
  doc.SetDocumentFlags(CXmlDocument::kIgnoreCase);
  ASSERT_TRUE(doc.SetDocument("<r><k\x81\x41>1</k\x81\x41></r>"));
  doc.FindNext();
  EXPECT_FALSE(doc.FindNextChild("k\x81\x61"));
  EXPECT_TRUE(doc.FindNextChild("K\x81\x41"));
}

TEST(XmlEditing, HalfCharactersCannotBreakMarkup) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.SetDocument("<r><k/><z/></r>"));
  doc.FindNext();
  doc.FindNextChild("k");
  // A lone GBK lead byte before "]]>" would swallow the "]": written escaped instead.
  ASSERT_TRUE(doc.SetChildText("a\x81", CXmlDocument::kWriteCdata));
  EXPECT_EQ(doc.GetChildText(), "a\x81");
  EXPECT_TRUE(doc.FindNextChild("z"));
  // A name ending in a lead byte would swallow the ">" of its tag.
  EXPECT_FALSE(doc.AppendChild("n\x81"));
  EXPECT_FALSE(doc.SetChildAttr("n\x81", "1"));
  ExpectConsistentWithReparse(doc);
}

TEST(XmlEditing, OddEmptyTagsStayReadableAfterRewrite) {
  // A stray slash before "/>" and a bare "=" must not survive as "/>" or eat the new text.
  for (const char *text : {"<r><k ''//></r>", "<r><k a=/></r>", "<r><k a=b//></r>"}) {
    CXmlDocument doc;
    doc.SetDocument(text);
    doc.FindNext();
    ASSERT_TRUE(doc.FindNextChild("k")) << text;
    std::string before = doc.GetChildAttr("a");
    ASSERT_TRUE(doc.SetChildAttr("x", "1"));
    ASSERT_TRUE(doc.SetChildText("t"));
    EXPECT_EQ(doc.GetChildAttr("a"), before) << doc.GetDocument();
    ExpectConsistentWithReparse(doc);
    CXmlDocument again;
    again.SetDocument(doc.GetDocument().c_str());
    again.FindNext();
    ASSERT_TRUE(again.FindNextChild("k"));
    EXPECT_EQ(again.GetChildText(), "t") << doc.GetDocument();
    EXPECT_EQ(again.GetChildAttr("x"), "1") << doc.GetDocument();
    EXPECT_EQ(again.GetChildAttr("a"), before) << doc.GetDocument();
  }
  CXmlDocument doc;
  doc.SetDocument("<r ''//>");
  doc.FindNext();
  ASSERT_TRUE(doc.AppendChild("Key"));
  ExpectConsistentWithReparse(doc);
}

TEST(XmlParse, StreamModeRefusesSetDocument) {
  CXmlDocument doc;
  doc.SetDocumentFlags(CXmlDocument::kWriteStream);
  EXPECT_FALSE(doc.SetDocument("<a/>"));
  EXPECT_TRUE(doc.WellFormed());
}

} // namespace
} // namespace qrx
