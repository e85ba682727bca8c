// Text from one encoding to another independently of the library's own conversion: iconv on
// POSIX systems; on Windows the system's code pages, with UTF-16 of either order by hand.
// Encodings by their iconv names ("UTF-8", "GBK", "SHIFT_JIS", "UTF-16LE", "UTF-16BE").
#pragma once

#include <string>

#ifdef _WIN32
#include <windows.h>

#include <strings.h>
#else
#include <iconv.h>
#endif

namespace qrx::test {

// The text in `to`, or a text in angle brackets saying why there is none.
inline std::string Transcode(const char *from, const char *to, const std::string &in) {
#ifdef _WIN32
  auto pageOf = [](const char *name) {
    for (auto [n, page] : {std::pair{"UTF-8", 65001u}, {"GBK", 936u}, {"SHIFT_JIS", 932u},
                           {"UTF-16LE", 1200u}, {"UTF-16BE", 1201u}})
      if (::strcasecmp(n, name) == 0) return page;
    return 0u;
  };
  const UINT source = pageOf(from), target = pageOf(to);
  if (!source || !target) return "<no conversion " + std::string(from) + " to " + to + ">";
  std::wstring wide;
  if (source >= 1200 && source <= 1201) {
    for (size_t i = 0; i + 1 < in.size(); i += 2) {
      const unsigned a = static_cast<unsigned char>(in[i]), b = static_cast<unsigned char>(in[i + 1]);
      wide += static_cast<wchar_t>(source == 1201 ? a << 8 | b : b << 8 | a);
    }
  } else {
    wide.resize(in.size());
    const int n = ::MultiByteToWideChar(source, MB_ERR_INVALID_CHARS, in.data(),
                                        static_cast<int>(in.size()), wide.data(), static_cast<int>(wide.size()));
    if (n <= 0 && !in.empty()) return "<conversion failed>";
    wide.resize(static_cast<size_t>(n > 0 ? n : 0));
  }
  std::string out;
  if (target >= 1200 && target <= 1201) {
    for (wchar_t c : wide) {
      const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
      out += target == 1201 ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
  }
  BOOL lost = FALSE;
  out.resize(wide.size() * 4);
  const int n = ::WideCharToMultiByte(target, 0, wide.data(), static_cast<int>(wide.size()), out.data(),
                                      static_cast<int>(out.size()), nullptr, target == CP_UTF8 ? nullptr : &lost);
  if ((n <= 0 && !wide.empty()) || lost) return "<conversion failed>";
  out.resize(static_cast<size_t>(n > 0 ? n : 0));
  return out;
#else
  iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return "<no conversion " + std::string(from) + " to " + to + ">";
  std::string out(in.size() * 4 + 16, '\0');
  char *src = const_cast<char *>(in.data());
  size_t srcLeft = in.size();
  char *dst = out.data();
  size_t dstLeft = out.size();
  const size_t r = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  ::iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return "<conversion failed>";
  out.resize(out.size() - dstLeft);
  return out;
#endif
}

} // namespace qrx::test
