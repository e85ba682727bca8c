// Fuzzes the XML document: parse (as text and as file bytes), walk, read, edit, and write and
// read back through the file codec. Aborts when an edit leaves the element table out of step
// with the text, or when a saved document does not read back the same.
#include "xml/xml_document.h"
#include "xml/xml_file_codec.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

using qrx::CXmlDocument;

// Root, sections and keys with their texts and the attribute "v", through the cursor only.
std::string Dump(CXmlDocument &doc) {
  std::string out;
  doc.Rewind();
  if (!doc.FindNext()) return out;
  out += doc.GetElementName() + "[" + doc.GetText() + "]{";
  doc.Enter();
  int sections = 0;
  while (doc.FindNext() && ++sections < 200) {
    out += doc.GetElementName() + "[" + doc.GetText() + "|" + doc.GetAttr("v") + "](";
    int keys = 0;
    while (doc.FindNextChild() && ++keys < 200) out += doc.GetChildText() + "|" + doc.GetChildAttr("v") + ";";
    out += ")";
  }
  doc.Rewind();
  return out + "}";
}

void Check(bool ok, const char *what, const CXmlDocument &doc) {
  if (ok) return;
  std::fprintf(stderr, "invariant broken: %s\ntext: %s\n", what, doc.GetDocument().c_str());
  std::abort();
}

// Pulls bytes for the edit script; zeros once the input is used up.
struct Script {
  std::string_view data;
  size_t at = 0;
  uint8_t Byte() { return at < data.size() ? static_cast<uint8_t>(data[at++]) : 0; }
  std::string Text() {
    size_t n = Byte() % 12;
    std::string s;
    for (size_t i = 0; i < n && at < data.size(); ++i) {
      char c = data[at++];
      if (c) s += c;
    }
    return s;
  }
  bool Done() const { return at >= data.size(); }
};

const char *const kNames[] = {"a", "k", "Key", "v", "s", "root", "x\xD6\xD0"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  std::string_view input(reinterpret_cast<const char *>(data), size);
  const uint8_t mode = static_cast<uint8_t>(input[0]);
  input.remove_prefix(1);
  // The document comes first; after a zero byte follows the edit script.
  size_t split = input.find('\0');
  std::string_view body = input.substr(0, split);
  Script script{split == std::string_view::npos ? std::string_view() : input.substr(split + 1)};

  CXmlDocument doc;
  if (mode & 0x01) doc.SetDocumentFlags(CXmlDocument::kIgnoreCase);
  bool wellFormed;
  if (mode & 0x02) {
    // As a file: marks, declarations, UTF-16, nulls and conversions.
    std::string text;
    uint32_t flags = 0;
    qrx::CXmlReport report;
    qrx::CXmlFileCodec::Decode(input, &text, &flags, &report);
    doc.SetDocumentFlags(doc.GetDocumentFlags() | flags);
    wellFormed = doc.SetDocument(text.c_str());
  } else {
    wellFormed = doc.SetDocument(std::string(body).c_str());
  }
  // Entries stop after 999 characters; the last one may carry two values of at most 256.
  Check(doc.GetReport().size() < 1700, "report bounded", doc);

  // Walk and read everything the cursor reaches.
  doc.Rewind();
  for (int i = 0; i < 64 && doc.FindNextChild(); ++i) {
    doc.GetChildText();
    doc.GetChildAttr("v");
    if (i % 3 == 0) doc.Enter();
  }

  // Edits driven by the script.
  doc.Rewind();
  for (int step = 0; step < 24 && !script.Done(); ++step) {
    uint8_t op = script.Byte();
    const char *name = kNames[script.Byte() % (sizeof kNames / sizeof *kNames)];
    int flags = script.Byte() & 0x10F;
    std::string text = script.Text();
    switch (op % 10) {
    case 0: doc.Rewind(); break;
    case 1: doc.FindNext(op & 0x80 ? name : nullptr); break;
    case 2: doc.FindNextChild(op & 0x80 ? name : nullptr); break;
    case 3: doc.Enter(); break;
    case 4: doc.SetText(text.c_str(), flags); break;
    case 5: doc.SetChildText(text.c_str(), flags); break;
    case 6: doc.SetAttr(name, text.c_str(), flags); break;
    case 7: doc.SetChildAttr(name, text.c_str(), flags); break;
    case 8: doc.AppendElement(name, text.c_str(), flags); break;
    case 9: doc.AppendChild(name, text.c_str(), flags); break;
    }
    if ((op % 10) >= 4 && wellFormed) {
      // What the table says must be what a fresh parse of the edited text says.
      CXmlDocument fresh;
      fresh.SetDocumentFlags(doc.GetDocumentFlags() & CXmlDocument::kIgnoreCase);
      fresh.SetDocument(doc.GetDocument().c_str());
      std::string mine = Dump(doc), theirs = Dump(fresh);
      if (mine != theirs) std::fprintf(stderr, "table: %s\nfresh: %s\n", mine.c_str(), theirs.c_str());
      Check(mine == theirs, "edited table matches a fresh parse", doc);
      Check(doc.WellFormed() == fresh.WellFormed(), "well-formedness after edit", doc);
    }
  }

  // Now and then through real files: SaveFile's atomic replace and LoadFile's read.
  if ((mode & 0xF0) == 0xF0) {
    static const std::string path = "/tmp/qrx_fuzz_xml_" + std::to_string(::getpid()) + ".xml";
    if (doc.SaveFile(path)) {
      CXmlDocument loaded;
      loaded.SetDocumentFlags(doc.GetDocumentFlags() & CXmlDocument::kIgnoreCase);
      loaded.LoadFile(path);
      Dump(loaded);
      Check(loaded.GetReport().find("<read ") != std::string::npos, "load reports its read", loaded);
      std::remove(path.c_str());
    }
  }

  // Save and load back in memory (the file layer only adds the atomic replace).
  qrx::CXmlReport report;
  std::string encoding;
  std::string bytes = qrx::CXmlFileCodec::Encode(doc.GetDocument(), doc.GetDocumentFlags(), &report, &encoding);
  std::string back;
  uint32_t flags = 0;
  qrx::CXmlReport report2;
  qrx::CXmlFileCodec::Decode(bytes, &back, &flags, &report2);
  if (report.Text().find("conversion_loss") == std::string::npos &&
      report2.Text().find("conversion_loss") == std::string::npos &&
      doc.GetDocument().find('\0') == std::string::npos && encoding == "UTF-8" &&
      (doc.GetDocumentFlags() & 0x81) == 0 && doc.GetDocument().starts_with('<')) {
    // GBK to UTF-8 and back is exact for text that converted without loss.
    Check(back == doc.GetDocument(), "UTF-8 save reads back the same", doc);
  }
  return 0;
}
