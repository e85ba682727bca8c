// UTF-8 to and from UTF-16 as Windows converts code page 65001 with flags 0: each invalid
// sequence reads as one U+FFFD, and a lone surrogate is written as U+FFFD.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qrx::platform {

class Utf8Codec {
public:
  // Decodes the character at in[*pos] and advances *pos past it (at least one byte). Returns
  // the code point, or -1 for an invalid sequence (which *pos then skips). An invalid sequence
  // is a byte that starts nothing; a lead byte whose sequence would run past the end, with
  // all the rest of the input; a lead byte with a continuation byte outside its range (E0 80,
  // ED A0, F4 90, ...); or the valid start of a sequence cut short by a byte that does not
  // continue it.
  static int32_t Next(std::string_view in, size_t *pos) {
    const auto *s = reinterpret_cast<const unsigned char *>(in.data());
    const size_t n = in.size();
    size_t i = *pos;
    const unsigned c = s[i++];
    if (c < 0x80) {
      *pos = i;
      return static_cast<int32_t>(c);
    }
    int more;
    unsigned lo = 0x80, hi = 0xBF;
    int32_t cp;
    if (c >= 0xC2 && c <= 0xDF) { more = 1; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) {
      more = 2; cp = c & 0x0F;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3; cp = c & 0x07;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      *pos = i;
      return -1;
    }
    if (static_cast<size_t>(more) > n - i) { // cut off by the end: the rest is one sequence
      *pos = n;
      return -1;
    }
    // A continuation byte outside the lead byte's range (an overlong form, a surrogate, beyond
    // U+10FFFF) is taken with the lead byte; any other byte ends the sequence before it.
    if (s[i] < 0x80 || s[i] > 0xBF) {
      *pos = i;
      return -1;
    }
    if (s[i] < lo || s[i] > hi) {
      *pos = i + 1;
      return -1;
    }
    for (int k = 0; k < more; ++k) {
      if (s[i] < 0x80 || s[i] > 0xBF) {
        *pos = i;
        return -1;
      }
      cp = (cp << 6) | (s[i++] & 0x3F);
    }
    *pos = i;
    return cp;
  }

  // Replaces *out with the UTF-16 reading of `in`; sets *lossy when an invalid sequence was replaced.
  static void ToUtf16(std::string_view in, std::u16string *out, bool *lossy);
  // Appends the UTF-8 form of `in`; sets *lossy when a lone surrogate was replaced.
  static void FromUtf16(std::u16string_view in, std::string *out, bool *lossy);
};

} // namespace qrx::platform
