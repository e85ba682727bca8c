// What the XML document's scanner, reader and editor share: byte classes, the ANSI code
// page's character lengths, name comparison and the searches that must step over whole
// multi-byte characters.
#pragma once

#include "platform/code_page.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

namespace qrx::xml_scan {


// Offsets are 32-bit: larger texts are refused rather than indexed wrongly.
inline constexpr size_t kMaxText = static_cast<size_t>(std::numeric_limits<int32_t>::max()) - 64;

enum : uint8_t {
  kSpace = 0x01,    // blank, tab, CR, LF
  kNameEnd = 0x02,  // ends an element name
  kAttrEnd = 0x04,  // ends an attribute name
  kNameStart = 0x08 // may begin an element name
};

constexpr std::array<uint8_t, 256> MakeClasses() {
  std::array<uint8_t, 256> t{};
  for (unsigned char c : {' ', '\t', '\r', '\n'}) t[c] |= kSpace | kNameEnd | kAttrEnd;
  for (unsigned char c : {'/', '>', '<', '='}) t[c] |= kNameEnd | kAttrEnd;
  for (unsigned char c : {'"', '\''}) t[c] |= kNameEnd | kAttrEnd;
  t[0] |= kNameEnd | kAttrEnd;
  for (int c = 'a'; c <= 'z'; ++c) t[c] |= kNameStart;
  for (int c = 'A'; c <= 'Z'; ++c) t[c] |= kNameStart;
  t['_'] |= kNameStart;
  t[':'] |= kNameStart;
  for (int c = 0x80; c < 0x100; ++c) t[c] |= kNameStart;
  return t;
}
inline constexpr std::array<uint8_t, 256> kClass = MakeClasses();

inline bool Is(char c, uint8_t cls) { return (kClass[static_cast<unsigned char>(c)] & cls) != 0; }

// Byte length of the ANSI code page's character for each lead byte. The structural
// characters of XML (< > & ; = / quotes, blanks) are below 0x40 and are never trail bytes of
// GBK, Shift_JIS, Big5 or UTF-8, so names, attributes and text are scanned byte by byte (a
// stray lead byte then cannot swallow a ">"); only the "]]>" and "]" searches, where the
// trail byte may be a "]", and case folding step over whole characters.
struct LeadLengths {
  std::array<uint8_t, 256> len{};
  LeadLengths() {
    for (int c = 0; c < 256; ++c)
      len[c] = static_cast<uint8_t>(platform::AnsiCharLength(static_cast<unsigned char>(c)));
  }
};
inline const LeadLengths &Leads() {
  static const LeadLengths leads;
  return leads;
}

// Position of the first byte c in s[from, n), or n. Values and the text between tags are
// mostly a few bytes long: they are searched in line, eight bytes at a time (a byte equal to c
// shows as a zero byte of word ^ pattern), longer ones by memchr.
inline int32_t FindByte(const char *s, int32_t from, int32_t n, char c) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  const uint64_t pattern = kOnes * static_cast<unsigned char>(c);
  const int32_t inlineEnd = std::min(n, from + 64);
  int32_t i = from;
  for (; i + 8 <= inlineEnd; i += 8) {
    uint64_t word;
    std::memcpy(&word, s + i, 8);
    const uint64_t x = word ^ pattern;
    const uint64_t zero = (x - kOnes) & ~x & kHighs;
    if (zero) {
      if constexpr (std::endian::native == std::endian::little)
        return i + std::countr_zero(zero) / 8;
      else
        return i + std::countl_zero(zero) / 8;
    }
  }
  for (; i < inlineEnd; ++i)
    if (s[i] == c) return i;
  if (inlineEnd == n) return n;
  const void *q = std::memchr(s + inlineEnd, c, static_cast<size_t>(n - inlineEnd));
  return q ? static_cast<int32_t>(static_cast<const char *>(q) - s) : n;
}

inline char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Compares names byte for byte or, when ignoring case, folding ASCII letters but never the
// trail bytes of multi-byte characters.
inline bool EqualNamesIgnoringCase(std::string_view a, std::string_view b);

inline bool EqualNames(std::string_view a, std::string_view b, bool ignoreCase) {
  if (a.size() != b.size()) return false;
  if (!ignoreCase) {
    for (size_t i = 0; i < a.size(); ++i)
      if (a[i] != b[i]) return false;
    return true;
  }
  return EqualNamesIgnoringCase(a, b);
}

inline bool EqualNamesIgnoringCase(std::string_view a, std::string_view b) {
  const auto &lead = Leads().len;
  for (size_t i = 0; i < a.size();) {
    int n = lead[static_cast<unsigned char>(a[i])];
    if (n > 1) {
      if (a.compare(i, n, b, i, n) != 0) return false;
      i += n;
    } else {
      if (Lower(a[i]) != Lower(b[i])) return false;
      ++i;
    }
  }
  return true;
}

struct NameHash {
  bool ignoreCase;
  size_t operator()(std::string_view s) const {
    uint64_t h = 1469598103934665603ull;
    for (char c : s) h = (h ^ static_cast<unsigned char>(ignoreCase ? Lower(c) : c)) * 1099511628211ull;
    return static_cast<size_t>(h);
  }
};
struct NameEq {
  bool ignoreCase;
  bool operator()(std::string_view a, std::string_view b) const { return EqualNames(a, b, ignoreCase); }
};

// Finds "]]>" from `from`, stepping over whole multi-byte characters; npos when absent.
inline size_t FindCdataEnd(std::string_view s, size_t from) {
  const auto &lead = Leads().len;
  for (size_t i = from; i + 2 < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == ']' && s[i + 1] == ']' && s[i + 2] == '>') return i;
    i += lead[c];
  }
  return std::string_view::npos;
}

// True when the text ends in the middle of a multi-byte character: written into markup, its
// missing trail byte would swallow the next structural character.
inline bool EndsInsideCharacter(std::string_view s) {
  const auto &lead = Leads().len;
  size_t i = 0;
  while (i < s.size()) i += lead[static_cast<unsigned char>(s[i])];
  return i > s.size();
}

inline bool ValidName(const char *name) {
  if (!name || !Is(name[0], kNameStart)) return false;
  for (const char *p = name; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (Is(*p, kNameEnd) || c < 0x20 || c == '&' || c == 0x7F) return false;
  }
  return !EndsInsideCharacter(name);
}

// True when s[at] is an "&" that begins a character reference: a name, or "#" and decimal
// digits, or "#x" and hexadecimal digits, followed by ";".
inline bool IsReferenceAt(std::string_view s, size_t at) {
  size_t i = at + 1;
  if (i >= s.size()) return false;
  size_t begin;
  if (s[i] == '#') {
    ++i;
    bool hex = i < s.size() && s[i] == 'x';
    if (hex) ++i;
    begin = i;
    while (i < s.size() && (hex ? std::isxdigit(static_cast<unsigned char>(s[i]))
                                : std::isdigit(static_cast<unsigned char>(s[i]))))
      ++i;
  } else {
    begin = i;
    while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_' ||
                            s[i] == '.' || s[i] == '-' || s[i] == ':'))
      ++i;
    if (begin < s.size() && std::isdigit(static_cast<unsigned char>(s[begin]))) return false;
  }
  return i > begin && i < s.size() && s[i] == ';';
}

} // namespace qrx::xml_scan
