// Text from one encoding to another independently of the library's own conversion: iconv on
// POSIX systems, the system's code pages on Windows. Encodings by their iconv names ("UTF-8",
// "GBK", "SHIFT_JIS", "UTF-16LE", "UTF-16BE", "CP1252", ...).
#pragma once

#include <string>

#ifdef _WIN32
#include <windows.h>

#include <cstdlib>
#include <strings.h>
#else
#include <iconv.h>
#endif

namespace qrx::test {

#ifdef _WIN32
namespace transcode_detail {
inline int CodePageOf(const char *name) {
  static const struct {
    const char *name;
    int codePage;
  } kNames[] = {{"UTF-8", CP_UTF8}, {"GBK", 936},       {"GB2312", 936}, {"SHIFT_JIS", 932},
                {"BIG5", 950},      {"EUC-KR", 949},    {"CP1252", 1252}, {"UTF-16LE", 1200},
                {"UTF-16BE", 1201}};
  for (const auto &n : kNames)
    if (::strcasecmp(n.name, name) == 0) return n.codePage;
  if (::strncasecmp(name, "CP", 2) == 0) return std::atoi(name + 2);
  return 0;
}
// UTF-16 code units from or to bytes of either order.
inline std::wstring FromUtf16(const std::string &in, bool bigEndian) {
  std::wstring out;
  for (size_t i = 0; i + 1 < in.size(); i += 2) {
    const unsigned a = static_cast<unsigned char>(in[i]), b = static_cast<unsigned char>(in[i + 1]);
    out.push_back(static_cast<wchar_t>(bigEndian ? (a << 8 | b) : (b << 8 | a)));
  }
  return out;
}
inline std::string ToUtf16(const std::wstring &in, bool bigEndian) {
  std::string out;
  for (wchar_t c : in) {
    const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
    out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return out;
}
} // namespace transcode_detail
#endif

// The text in `to`, or a text in angle brackets saying why there is none.
inline std::string Transcode(const char *from, const char *to, const std::string &in) {
#ifdef _WIN32
  using namespace transcode_detail;
  const int source = CodePageOf(from), target = CodePageOf(to);
  if (!source || !target) return "<no conversion " + std::string(from) + " to " + to + ">";
  std::wstring wide;
  if (source == 1200 || source == 1201) {
    wide = FromUtf16(in, source == 1201);
  } else if (!in.empty()) {
    const int n = ::MultiByteToWideChar(source, MB_ERR_INVALID_CHARS, in.data(),
                                        static_cast<int>(in.size()), nullptr, 0);
    if (n <= 0) return "<conversion failed>";
    wide.resize(static_cast<size_t>(n));
    ::MultiByteToWideChar(source, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()),
                          wide.data(), n);
  }
  if (target == 1200 || target == 1201) return ToUtf16(wide, target == 1201);
  if (wide.empty()) return std::string();
  BOOL lost = FALSE;
  BOOL *lostFlag = target == CP_UTF8 ? nullptr : &lost;
  const int n = ::WideCharToMultiByte(target, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, lostFlag);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  ::WideCharToMultiByte(target, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, lostFlag);
  if (n <= 0 || lost) return "<conversion failed>";
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
