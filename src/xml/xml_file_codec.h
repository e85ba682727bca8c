// Turns the bytes of an XML file into document text in the ANSI code page and back: byte
// order marks, declared encodings (XML declaration, HTML meta charset), UTF-8 detection,
// UTF-16 in both byte orders and removal of zero characters.
#pragma once

#include "xml/xml_report.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qrx {

class CXmlFileCodec {
public:
  // Reads fileName into *text (ANSI code page) and sets the file flags of the document
  // (UTF-16LE 0x01, UTF-8 mark 0x04, UTF-16BE 0x80). False only when the file cannot be read.
  static bool Read(const std::string &fileName, std::string *text, uint32_t *fileFlags,
                   CXmlReport *report);
  // Decodes bytes already read (the part of Read after opening the file). When `owner` holds
  // the bytes and they need no change but a mark taken off, they are moved into *text instead
  // of copied.
  static void Decode(std::string_view bytes, std::string *text, uint32_t *fileFlags,
                     CXmlReport *report, std::string *owner = nullptr);
  // Encodes text for its file and replaces fileName atomically. False on failure; with
  // refuseLoss also when a character cannot be represented in the file's encoding, in which
  // case the file is left untouched.
  static bool Write(const std::string &fileName, std::string_view text, uint32_t fileFlags,
                    CXmlReport *report, bool refuseLoss = false);
  // The bytes Write would write; *lost (when given) tells whether a character could not be
  // represented in them.
  static std::string Encode(std::string_view text, uint32_t fileFlags, CXmlReport *report,
                            std::string *encodingName, bool *lost = nullptr);

  // The encoding a text declares: the "encoding" of its XML declaration, or the charset of
  // an HTML meta element. Looks at the first 1024 bytes only.
  static std::optional<std::string> DeclaredEncoding(std::string_view text);
};

} // namespace qrx
