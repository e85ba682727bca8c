// Conversion of one Windows code page through its own tables, answering as Windows'
// MultiByteToWideChar and WideCharToMultiByte do with flags 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qrx::platform {

struct CodePageTable;

class TableCodePage {
public:
  // The converter of codePage, built on first use; null when the code page has no table.
  static const TableCodePage *Find(int codePage);

  explicit TableCodePage(const CodePageTable &table);

  // Replaces *out with the UTF-16 reading of `in`. A pair the code page rejects (a lead byte followed by a
  // byte that is no trail byte, or a lead byte at the end) reads as the default character, and
  // sets *lossy; a lead byte followed by a zero byte leaves the zero byte to be read on its own.
  // A byte of an undefined position that maps to a private-use character and back is no loss.
  void ToWide(std::string_view in, std::u16string *out, bool *lossy) const;

  // Replaces *out with the code page's bytes for `in`: exact or best-fit bytes where Windows has them,
  // '?' (and *lossy) for every other code unit; a surrogate pair is two code units, so '??'.
  // A best fit is no loss: Windows does not report it either.
  void ToBytes(std::u16string_view in, std::string *out, bool *lossy) const;

  // Appends the code page's bytes for UTF-8 text; invalid UTF-8 is written as '?' per
  // maximal invalid sequence and sets *lossy.
  void Utf8ToBytes(std::string_view utf8, std::string *out, bool *lossy) const;

  // Appends the UTF-8 form of text in this code page, read as ToWide reads it.
  void ToUtf8(std::string_view in, std::string *out, bool *lossy) const;

  bool IsLeadByte(unsigned char b) const { return leadIndex_[b] != 0; }
  int codePage() const { return codePage_; }

private:
  int codePage_;
  char16_t unicodeDefault_;
  bool asciiSame_ = false; // bytes 00-7F are U+0000-U+007F both ways: the fast paths apply
  char16_t single_[256];
  bool singleLossy_[256];
  uint8_t leadIndex_[256]; // 1 + row number of a lead byte; 0 for other bytes
  std::vector<char16_t> rows_;
  std::vector<uint16_t> back_; // 65536 entries: one byte, (lead << 8) | trail, or 0xFFFF

  void PutUnit(char16_t u, std::string *out, bool *lost) const;
};

} // namespace qrx::platform
