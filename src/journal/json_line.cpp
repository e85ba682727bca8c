// JSON text pieces for the station journal.
#include "journal/json_line.h"

#include "platform/code_page.h"

#include <algorithm>
#include <cmath>

namespace qrx::journal {
namespace {

constexpr char kHex[] = "0123456789abcdef";

// What a byte needs in a JSON string: 0 as it is, 1 escaped, 2 a byte of a non-ASCII text.
constexpr auto kClass = [] {
  struct Table {
    unsigned char of[256] = {};
  } t;
  for (int c = 0; c < 0x20; ++c) t.of[c] = 1;
  t.of[static_cast<unsigned char>('"')] = t.of[static_cast<unsigned char>('\\')] = 1;
  for (int c = 0x80; c < 0x100; ++c) t.of[c] = 2;
  return t;
}();

// The highest class of the bytes of text.
unsigned char Needs(std::string_view text) {
  unsigned char most = 0;
  for (char c : text) most |= kClass.of[static_cast<unsigned char>(c)];
  return most;
}

} // namespace

void JsonLine::Grow(size_t bytes) {
  buffer_.resize(std::max(buffer_.size() * 2, used_ + bytes));
}

void JsonLine::Escaped(std::string_view utf8) {
  char *const from = Room(utf8.size() * 6 + 2); // "\u00XX" at most for each byte
  char *p = from;
  *p++ = '"';
  for (char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    if (kClass.of[c] != 1) {
      *p++ = ch;
      continue;
    }
    *p++ = '\\';
    switch (c) {
    case '"': *p++ = '"'; break;
    case '\\': *p++ = '\\'; break;
    case '\n': *p++ = 'n'; break;
    case '\r': *p++ = 'r'; break;
    case '\t': *p++ = 't'; break;
    default:
      *p++ = 'u';
      *p++ = '0';
      *p++ = '0';
      *p++ = kHex[c >> 4];
      *p++ = kHex[c & 15];
    }
  }
  *p++ = '"';
  used_ += static_cast<size_t>(p - from);
}

void JsonLine::Text(std::string_view ansi) {
  const unsigned char needs = Needs(ansi);
  if (needs == 0) { // the common text: plain ASCII, the same in every ANSI code page and UTF-8
    Quoted(ansi);
  } else if (needs & 2) {
    Escaped(platform::AnsiToUtf8(ansi));
  } else {
    Escaped(ansi);
  }
}

void JsonLine::Utf8(std::string_view utf8) {
  if (Needs(utf8) & 1) Escaped(utf8);
  else Quoted(utf8);
}

void JsonLine::Quoted(std::string_view text) {
  char *p = Room(text.size() + 2);
  p[0] = '"';
  std::memcpy(p + 1, text.data(), text.size());
  p[text.size() + 1] = '"';
  used_ += text.size() + 2;
}

void JsonLine::Real(double value) {
  if (!std::isfinite(value)) {
    Raw("null");
    return;
  }
  char *p = Room(32);
  used_ = static_cast<size_t>(std::to_chars(p, p + 32, value).ptr - buffer_.data());
}

void JsonLine::FixedReal(double value) {
  // As the staging writes it: DBL_MAX has 309 integer digits.
  constexpr size_t kMost = 330;
  char *p = Room(kMost + 2);
  const auto r = std::to_chars(p + 1, p + 1 + kMost, value, std::chars_format::fixed, 6);
  if (r.ec != std::errc()) {
    Raw("\"\"");
    return;
  }
  *p = '"';
  *r.ptr = '"';
  used_ = static_cast<size_t>(r.ptr + 1 - buffer_.data());
}

} // namespace qrx::journal
