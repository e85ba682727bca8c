// The one XML reader and writer of the library: one text in memory plus a flat table of
// element positions, cursor navigation, in-place edits that shift every later position,
// and file loading and saving with byte-order-mark and declared-encoding detection.
#pragma once

#include <cstdint>
#include <string>

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
  bool SaveFile(const std::string &fileName);
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
  struct Impl;
  Impl *impl_;
};

} // namespace qrx
