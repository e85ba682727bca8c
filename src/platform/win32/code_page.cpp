// Code-page conversion through MultiByteToWideChar and WideCharToMultiByte, with GetACP() as
// the ANSI code page. UTF-16 and UTF-32, which these functions do not take, are converted here.
#include "platform/code_page.h"

#include <windows.h>

#include <cstdlib>

namespace qrx::platform {
namespace {

struct CodePageName {
  int codePage;
  const char *name;
};

// The encodings' usual names, for files that name their encoding.
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

// Code pages for which WideCharToMultiByte refuses a default character and its flag.
bool TakesNoDefaultChar(int codePage) {
  return codePage == 65000 || codePage == 65001 || codePage == 54936 || codePage == 42 ||
         (codePage >= 50220 && codePage <= 50229) || (codePage >= 57002 && codePage <= 57011);
}

bool Utf32ToWide(std::string_view in, bool bigEndian, std::u16string *out, bool *lossy) {
  out->clear();
  for (size_t i = 0; i + 4 <= in.size(); i += 4) {
    auto b = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(in[i + k])); };
    uint32_t c = bigEndian ? (b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3))
                           : (b(3) << 24 | b(2) << 16 | b(1) << 8 | b(0));
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      if (lossy) *lossy = true;
      out->push_back(u'\uFFFD');
    } else if (c >= 0x10000) {
      c -= 0x10000;
      out->push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out->push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out->push_back(static_cast<char16_t>(c));
    }
  }
  if (in.size() % 4) {
    if (lossy) *lossy = true;
    out->push_back(u'\uFFFD');
  }
  return true;
}

void WideToUtf32(std::u16string_view in, bool bigEndian, std::string *out, bool *lossy) {
  out->clear();
  for (size_t i = 0; i < in.size(); ++i) {
    uint32_t c = in[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      if (lossy) *lossy = true;
      c = '?';
    }
    for (int k = 0; k < 4; ++k) {
      int shift = bigEndian ? (3 - k) * 8 : k * 8;
      out->push_back(static_cast<char>((c >> shift) & 0xFF));
    }
  }
}

} // namespace

int AnsiCodePage() {
  static const int acp = [] {
    const char *env = std::getenv("QRX_ACP");
    if (env && *env) {
      char *end = nullptr;
      long v = std::strtol(env, &end, 10);
      if (end && *end == '\0' && v > 0 && v < 100000 && ::IsValidCodePage(static_cast<UINT>(v)))
        return static_cast<int>(v);
    }
    return static_cast<int>(::GetACP());
  }();
  return acp;
}

const char *IconvNameForCodePage(int codePage) {
  for (const auto &e : kCodePages)
    if (e.codePage == codePage)
      return (codePage == 1200 || codePage == 1201 || codePage == 12000 || codePage == 12001 ||
              ::IsValidCodePage(static_cast<UINT>(codePage)))
                 ? e.name
                 : nullptr;
  return nullptr;
}

bool MultiByteToWide(int codePage, std::string_view in, std::u16string *out, bool *lossy) {
  if (!out || !IconvNameForCodePage(codePage)) return false;
  out->clear();
  if (codePage == 1200 || codePage == 1201) {
    for (size_t i = 0; i + 2 <= in.size(); i += 2) {
      unsigned char a = static_cast<unsigned char>(in[i]), b = static_cast<unsigned char>(in[i + 1]);
      out->push_back(static_cast<char16_t>(codePage == 1200 ? (b << 8 | a) : (a << 8 | b)));
    }
    if (in.size() % 2) {
      if (lossy) *lossy = true;
      out->push_back(u'\uFFFD');
    }
    return true;
  }
  if (codePage == 12000 || codePage == 12001) return Utf32ToWide(in, codePage == 12001, out, lossy);
  if (in.empty()) return true;
  if (in.size() > 0x7FFFFFFF) return false;
  const int inLen = static_cast<int>(in.size());
  // Invalid input is first detected, then converted with the system's replacements.
  DWORD flags = MB_ERR_INVALID_CHARS;
  int n = ::MultiByteToWideChar(codePage, flags, in.data(), inLen, nullptr, 0);
  if (n == 0) {
    flags = 0;
    if (lossy) *lossy = true;
    n = ::MultiByteToWideChar(codePage, flags, in.data(), inLen, nullptr, 0);
    if (n == 0) return false;
  }
  std::wstring wide(static_cast<size_t>(n), L'\0');
  n = ::MultiByteToWideChar(codePage, flags, in.data(), inLen, wide.data(), n);
  if (n == 0) return false;
  out->assign(reinterpret_cast<const char16_t *>(wide.data()), static_cast<size_t>(n));
  return true;
}

bool WideToMultiByte(int codePage, std::u16string_view in, std::string *out, bool *lossy) {
  if (!out || !IconvNameForCodePage(codePage)) return false;
  out->clear();
  if (codePage == 1200 || codePage == 1201) {
    for (char16_t c : in) {
      char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
      out->push_back(codePage == 1200 ? lo : hi);
      out->push_back(codePage == 1200 ? hi : lo);
    }
    return true;
  }
  if (codePage == 12000 || codePage == 12001) {
    WideToUtf32(in, codePage == 12001, out, lossy);
    return true;
  }
  if (in.empty()) return true;
  if (in.size() > 0x7FFFFFFF) return false;
  const wchar_t *src = reinterpret_cast<const wchar_t *>(in.data());
  const int inLen = static_cast<int>(in.size());
  BOOL usedDefault = FALSE;
  DWORD flags = 0;
  BOOL *used = &usedDefault;
  const char *defaultChar = "?";
  if (TakesNoDefaultChar(codePage)) {
    used = nullptr;
    defaultChar = nullptr;
    // UTF-8: lone surrogates are detected, then converted with the system's replacement.
    if (codePage == 65001 &&
        ::WideCharToMultiByte(codePage, WC_ERR_INVALID_CHARS, src, inLen, nullptr, 0, nullptr,
                              nullptr) == 0 &&
        lossy)
      *lossy = true;
  }
  int n = ::WideCharToMultiByte(codePage, flags, src, inLen, nullptr, 0, defaultChar, used);
  if (n == 0) return false;
  out->assign(static_cast<size_t>(n), '\0');
  n = ::WideCharToMultiByte(codePage, flags, src, inLen, out->data(), n, defaultChar, used);
  if (n == 0) return false;
  out->resize(static_cast<size_t>(n));
  if (usedDefault && lossy) *lossy = true;
  return true;
}

bool ConvertCodePage(int fromCodePage, int toCodePage, std::string_view in, std::string *out,
                     bool *lossy) {
  std::u16string wide;
  return MultiByteToWide(fromCodePage, in, &wide, lossy) &&
         WideToMultiByte(toCodePage, wide, out, lossy);
}

std::string AnsiToUtf8(std::string_view text) {
  std::u16string wide;
  std::string out;
  if (!MultiByteToWide(AnsiCodePage(), text, &wide, nullptr) ||
      !WideToMultiByte(65001, wide, &out, nullptr))
    return std::string(text);
  return out;
}

std::string Utf8ToAnsi(std::string_view text) {
  std::u16string wide;
  std::string out;
  if (!MultiByteToWide(65001, text, &wide, nullptr) ||
      !WideToMultiByte(AnsiCodePage(), wide, &out, nullptr))
    return std::string(text);
  return out;
}

int AnsiCharLength(unsigned char lead) {
  if (AnsiCodePage() == 65001) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
  }
  CPINFO info{};
  if (!::GetCPInfo(static_cast<UINT>(AnsiCodePage()), &info) || info.MaxCharSize < 2) return 1;
  for (int i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] || info.LeadByte[i + 1]); i += 2)
    if (lead >= info.LeadByte[i] && lead <= info.LeadByte[i + 1]) return 2;
  return 1;
}

} // namespace qrx::platform
