// The one XML reader and writer of the library: one text in memory plus a flat table of
// element positions, cursor navigation, in-place edits that shift every later position,
// and file loading and saving with byte-order-mark and declared-encoding detection.
#pragma once

#include "xml/xml_element_table.h"
#include "xml/xml_report.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qrx {

class CXmlDocument {
public:
  // Flags of the writing operations.
  enum WriteFlags : int {
    kWriteCdata = 0x01,        // write the text as a CDATA section
    kNoLineBreaks = 0x02,      // insert no line breaks
    kSpacedEmptyTag = 0x04,    // close an empty-element tag with " />"
    kKeepReferences = 0x08,    // keep character references already in the text
    kEscapeQuotes = 0x100,     // escape quotes in element text as well
  };
  // Document flags.
  enum DocumentFlags : uint32_t {
    kFileUtf16Le = 0x01,
    kFileUtf8Bom = 0x04,
    kIgnoreCase = 0x08,
    kReadStream = 0x10,
    kWriteStream = 0x20,
    kFileUtf16Be = 0x80,
  };

  CXmlDocument();
  ~CXmlDocument();
  CXmlDocument(const CXmlDocument &) = delete;
  CXmlDocument &operator=(const CXmlDocument &) = delete;

  bool SetDocument(const char *text);
  bool LoadFile(const std::string &fileName);
  // With refuseLoss, a text that the file's encoding cannot hold whole is not written.
  bool SaveFile(const std::string &fileName, bool refuseLoss = false);
  const std::string &GetDocument() const;

  void Rewind();
  bool FindNext(const char *name = nullptr);
  bool FindNextChild(const char *name = nullptr);
  bool Enter();

  std::string GetElementName() const;
  std::string GetText() const;
  std::string GetChildText() const;
  std::string GetAttr(const char *name) const;
  std::string GetChildAttr(const char *name) const;

  bool SetText(const char *text, int flags = 0);
  bool SetChildText(const char *text, int flags = 0);
  bool SetAttr(const char *name, const char *value, int flags = 0);
  bool SetChildAttr(const char *name, const char *value, int flags = 0);
  bool AppendElement(const char *name, const char *text = nullptr, int flags = 0);
  bool AppendChild(const char *name, const char *text = nullptr, int flags = 0);

  bool WellFormed() const;
  const std::string &GetReport() const;

  uint32_t GetDocumentFlags() const;
  void SetDocumentFlags(uint32_t flags);

private:
  // Node kinds of the scanner; only elements are ever current.
  enum NodeType : int { kNodeNone = 0, kNodeElement = 1, kNodeText = 2, kNodeCdata = 4,
                        kNodeComment = 8 };

  void Parse();
  void Clear();
  std::string_view NameOf(int32_t element) const;
  bool NamesEqual(std::string_view a, std::string_view b) const;
  int32_t FindSibling(int32_t parent, int32_t after, const char *name) const;
  std::string TextOf(int32_t element) const;
  std::string AttrOf(int32_t element, const char *name) const;
  bool FindAttribute(int32_t element, std::string_view name, int32_t *nameStart,
                     int32_t *valueStart, int32_t *valueEnd) const;
  std::string StartTagOfEmptyTag(int32_t element) const;
  bool SetTextOf(int32_t element, const char *text, int flags);
  bool SetAttrOf(int32_t element, const char *name, const char *value, int flags);
  int32_t LastChildOf(int32_t parent) const; // 0 for none
  int32_t InsertElement(int32_t parent, int32_t after, const char *name, const char *text,
                        int flags);
  bool Replace(int32_t pos, int32_t oldLength, std::string_view replacement, int32_t container);
  void DecodeInto(std::string_view in, std::string *out) const;
  size_t DecodeReference(std::string_view in, size_t at, std::string *out) const;
  std::string Encode(std::string_view text, int flags, bool attribute) const;
  bool IgnoreCase() const { return (flags_ & kIgnoreCase) != 0; }

  std::string text_;
  CXmlReport report_;
  int32_t parent_ = 0;       // element whose children form the current level; 0 = top level
  int32_t main_ = 0;         // current element; 0 = none
  int32_t child_ = 0;        // current child of the main element; 0 = none
  int32_t released_ = 0;     // head of the chain of released records (none are released)
  int nodeType_ = kNodeNone; // kind of the current node
  int32_t nodeOffset_ = 0;
  int32_t nodeLength_ = 0;
  uint32_t flags_ = 0;
  bool structureError_ = false; // a parse entry that makes the document not well-formed
  CXmlElementTable table_;
};

} // namespace qrx
