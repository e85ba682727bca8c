// UTF-8 and UTF-16 conversion with an ASCII fast path sixteen bytes at a time.
#include "platform/posix/utf8_codec.h"

#include "platform/posix/ascii_run.h"

#include <algorithm>

#include <cstring>

namespace qrx::platform {
namespace {

constexpr size_t kChunk = 8192;

} // namespace

void Utf8Codec::ToUtf16(std::string_view in, std::u16string *out, bool *lossy) {
  // Written straight into *out: a character never takes more units than bytes, so one unit
  // per byte is room enough; a string already that long is not resized (so not cleared) first.
  if (out->size() < in.size()) out->resize(in.size());
  char16_t *d = out->data();
  const auto *s = reinterpret_cast<const unsigned char *>(in.data());
  const size_t n = in.size();
  size_t i = 0, k = 0; // k <= i throughout
  bool lost = false;
  while (i < n) {
    const size_t ascii = AsciiRun::Widen(s + i, n - i, d + k);
    i += ascii;
    k += ascii;
    if (i == n) break;
    int32_t cp = Next(in, &i);
    if (cp < 0) {
      d[k++] = 0xFFFD;
      lost = true;
    } else if (cp < 0x10000) {
      d[k++] = static_cast<char16_t>(cp);
    } else {
      cp -= 0x10000;
      d[k++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      d[k++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
  }
  out->resize(k);
  if (lost && lossy) *lossy = true;
}

void Utf8Codec::FromUtf16(std::u16string_view in, std::string *out, bool *lossy) {
  char buf[kChunk + 8];
  out->reserve(out->size() + in.size());
  const char16_t *s = in.data();
  const size_t n = in.size();
  size_t i = 0, k = 0;
  bool lost = false;
  while (i < n) {
    if (k + 8 > kChunk) {
      out->append(buf, k);
      k = 0;
    }
    const size_t ascii = AsciiRun::Narrow(s + i, std::min(n - i, kChunk - k), buf + k);
    i += ascii;
    k += ascii;
    if (i == n) break;
    uint32_t c = s[i++];
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (c <= 0xDBFF && i < n && s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (s[i++] - 0xDC00);
      } else {
        c = 0xFFFD;
        lost = true;
      }
    }
    if (c < 0x80) {
      buf[k++] = static_cast<char>(c);
    } else if (c < 0x800) {
      buf[k++] = static_cast<char>(0xC0 | (c >> 6));
      buf[k++] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      buf[k++] = static_cast<char>(0xE0 | (c >> 12));
      buf[k++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      buf[k++] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      buf[k++] = static_cast<char>(0xF0 | (c >> 18));
      buf[k++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      buf[k++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      buf[k++] = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  out->append(buf, k);
  if (lost && lossy) *lossy = true;
}

} // namespace qrx::platform
