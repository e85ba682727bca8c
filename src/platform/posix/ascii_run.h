// Widening and narrowing of ASCII runs sixteen characters at a time, the fast path of the
// code-page conversions (most text in setting and configuration files is ASCII).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qrx::platform {

// The position of the first non-ASCII character is read from the lowest set bit.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "ASCII runs assume little-endian words");

class AsciiRun {
public:
  // Copies the ASCII bytes at the start of s (up to n) to d as UTF-16 units, 16 at a time; may
  // write up to 15 units more than it reports, so d needs room for n units. Returns the
  // number of bytes copied.
  static size_t Widen(const unsigned char *s, size_t n, char16_t *d) {
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
      Bytes16 v;
      std::memcpy(&v, s + i, 16);
      const Units16 w = __builtin_convertvector(v, Units16);
      std::memcpy(d + i, &w, 32);
      uint64_t q[2];
      std::memcpy(q, &v, 16);
      q[0] &= 0x8080808080808080ull;
      q[1] &= 0x8080808080808080ull;
      if (q[0]) return i + static_cast<size_t>(__builtin_ctzll(q[0])) / 8;
      if (q[1]) return i + 8 + static_cast<size_t>(__builtin_ctzll(q[1])) / 8;
    }
    return i;
  }

  // Copies the UTF-16 units below 0x80 at the start of s (up to n) to d as bytes, 16 at a
  // time; may write up to 15 bytes more than it reports, so d needs room for n bytes. Returns
  // the number of units copied.
  static size_t Narrow(const char16_t *s, size_t n, char *d) {
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
      Units16 w;
      std::memcpy(&w, s + i, 32);
      const Bytes16 v = __builtin_convertvector(w, Bytes16);
      std::memcpy(d + i, &v, 16);
      const Units16 high = w & static_cast<uint16_t>(0xFF80);
      uint64_t q[4];
      std::memcpy(q, &high, 32);
      for (int j = 0; j < 4; ++j)
        if (q[j]) return i + 4 * static_cast<size_t>(j) + static_cast<size_t>(__builtin_ctzll(q[j])) / 16;
    }
    return i;
  }

  // Length of the ASCII prefix of s, found 16 bytes at a time.
  static size_t Prefix(const unsigned char *s, size_t n) {
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
      Bytes16 v;
      std::memcpy(&v, s + i, 16);
      if (HasHighBit(v)) break;
    }
    while (i < n && s[i] < 0x80) ++i;
    return i;
  }

private:
  typedef uint8_t Bytes16 __attribute__((vector_size(16)));
  typedef uint16_t Units16 __attribute__((vector_size(32)));

  static bool HasHighBit(const Bytes16 &v) {
    uint64_t q[2];
    std::memcpy(q, &v, 16);
    return ((q[0] | q[1]) & 0x8080808080808080ull) != 0;
  }
};

} // namespace qrx::platform
