// Code-page conversion through glibc's iconv, with Windows code-page numbers as the keys.
#include "platform/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace qrx::platform {
namespace {

struct CodePageName {
  int codePage;
  const char *iconvName;
};

constexpr CodePageName kCodePages[] = {
    {437, "CP437"},        {850, "CP850"},       {866, "CP866"},         {874, "CP874"},
    {932, "SHIFT_JIS"},    {936, "GBK"},         {949, "CP949"},         {950, "BIG5"},
    {1200, "UTF-16LE"},    {1201, "UTF-16BE"},   {1250, "CP1250"},       {1251, "CP1251"},
    {1252, "CP1252"},      {1253, "CP1253"},     {1254, "CP1254"},       {1255, "CP1255"},
    {1256, "CP1256"},      {1257, "CP1257"},     {1258, "CP1258"},       {10000, "MACINTOSH"},
    {12000, "UTF-32LE"},   {12001, "UTF-32BE"},  {20127, "ASCII"},       {20866, "KOI8-R"},
    {20932, "EUC-JP"},     {21866, "KOI8-U"},    {28591, "ISO-8859-1"},  {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"}, {28594, "ISO-8859-4"},{28595, "ISO-8859-5"},  {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"}, {28598, "ISO-8859-8"},{28599, "ISO-8859-9"},  {28603, "ISO-8859-13"},
    {28605, "ISO-8859-15"},{50220, "ISO-2022-JP"},{50221, "ISO-2022-JP"},{50222, "ISO-2022-JP"},
    {50225, "ISO-2022-KR"},{51932, "EUC-JP"},    {51936, "GB2312"},      {51949, "EUC-KR"},
    {52936, "HZ"},         {54936, "GB18030"},   {65000, "UTF-7"},       {65001, "UTF-8"},
};

// iconv_open and iconv_close load and unload glibc's converter modules through the dynamic
// loader, whose own locks the thread sanitizer cannot see; stations converting at the same time
// open and close them under one lock of ours so their order is visible.
std::mutex g_converterLock;

iconv_t OpenConverter(const char *to, const char *from) {
  std::lock_guard<std::mutex> lock(g_converterLock);
  return ::iconv_open(to, from);
}

void CloseConverter(iconv_t cd) {
  std::lock_guard<std::mutex> lock(g_converterLock);
  ::iconv_close(cd);
}

// Runs one iconv conversion over the whole input. Unconvertible input is replaced: a byte
// sequence that is invalid in the source is skipped and counted, a character the target
// cannot hold is written as the replacement.
bool Convert(const char *from, const char *to, std::string_view in, std::string *out,
             bool *lossy, std::string_view replacement) {
  iconv_t cd = OpenConverter(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out->clear();
  std::vector<char> buf(in.size() * 4 + 16);
  char *src = const_cast<char *>(in.data());
  size_t srcLeft = in.size();
  // The replacement itself must be in the target encoding.
  std::string repl;
  {
    iconv_t rc = OpenConverter(to, "UTF-8");
    if (rc != reinterpret_cast<iconv_t>(-1)) {
      char rb[16];
      char *rs = const_cast<char *>(replacement.data());
      size_t rl = replacement.size();
      char *rd = rb;
      size_t rdl = sizeof rb;
      if (::iconv(rc, &rs, &rl, &rd, &rdl) != static_cast<size_t>(-1))
        repl.assign(rb, rd - rb);
      CloseConverter(rc);
    }
  }
  int unitSize = (std::strncmp(from, "UTF-16", 6) == 0) ? 2 : (std::strncmp(from, "UTF-32", 6) == 0 ? 4 : 1);
  while (srcLeft > 0) {
    char *dst = buf.data();
    size_t dstLeft = buf.size();
    size_t r = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out->append(buf.data(), dst - buf.data());
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      if (lossy) *lossy = true;
      out->append(repl);
      size_t skip = std::min<size_t>(srcLeft, unitSize);
      src += skip;
      srcLeft -= skip;
    } else if (r > 0 && lossy) {
      *lossy = true; // irreversible conversions
    }
  }
  char *dst = buf.data();
  size_t dstLeft = buf.size();
  ::iconv(cd, nullptr, nullptr, &dst, &dstLeft);
  out->append(buf.data(), dst - buf.data());
  CloseConverter(cd);
  return true;
}

const char *NativeUtf16() {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  return "UTF-16LE";
#else
  return "UTF-16BE";
#endif
}

} // namespace

int AnsiCodePage() {
  static const int acp = [] {
    const char *env = std::getenv("QRX_ACP");
    if (env && *env) {
      char *end = nullptr;
      long v = std::strtol(env, &end, 10);
      if (end && *end == '\0' && v > 0 && v < 100000 && IconvNameForCodePage(static_cast<int>(v)))
        return static_cast<int>(v);
    }
    return 936;
  }();
  return acp;
}

const char *IconvNameForCodePage(int codePage) {
  for (const auto &e : kCodePages)
    if (e.codePage == codePage) return e.iconvName;
  return nullptr;
}

bool MultiByteToWide(int codePage, std::string_view in, std::u16string *out, bool *lossy) {
  const char *name = IconvNameForCodePage(codePage);
  if (!name || !out) return false;
  std::string bytes;
  if (!Convert(name, NativeUtf16(), in, &bytes, lossy, "\xEF\xBF\xBD")) return false;
  out->assign(reinterpret_cast<const char16_t *>(bytes.data()), bytes.size() / 2);
  return true;
}

bool WideToMultiByte(int codePage, std::u16string_view in, std::string *out, bool *lossy) {
  const char *name = IconvNameForCodePage(codePage);
  if (!name || !out) return false;
  std::string_view bytes(reinterpret_cast<const char *>(in.data()), in.size() * 2);
  return Convert(NativeUtf16(), name, bytes, out, lossy, "?");
}

std::string AnsiToUtf8(std::string_view text) {
  const char *name = IconvNameForCodePage(AnsiCodePage());
  std::string out;
  if (!name || !Convert(name, "UTF-8", text, &out, nullptr, "\xEF\xBF\xBD")) return std::string(text);
  return out;
}

std::string Utf8ToAnsi(std::string_view text) {
  const char *name = IconvNameForCodePage(AnsiCodePage());
  std::string out;
  if (!name || !Convert("UTF-8", name, text, &out, nullptr, "?")) return std::string(text);
  return out;
}

int AnsiCharLength(unsigned char lead) {
  switch (AnsiCodePage()) {
  case 936: case 949: case 950: case 54936:
    return (lead >= 0x81 && lead <= 0xFE) ? 2 : 1;
  case 932:
    return ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) ? 2 : 1;
  case 65001:
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
  default:
    return 1;
  }
}

} // namespace qrx::platform
