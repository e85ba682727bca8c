// The Windows converters behind the shared code-page front end: MultiByteToWideChar and
// WideCharToMultiByte for every code page the system has, GetACP() as the ANSI code page.
// UTF-16 and UTF-32, which these functions do not take, are converted here.
#include "platform/code_page_system.h"

#include <windows.h>

#include <cstdint>

namespace qrx::platform {
namespace {

int CodePageAt(size_t index) {
  size_t n = 0;
  return CodePageEntries(&n)[index].codePage;
}

bool IsUnicodeForm(int codePage) {
  return codePage == 1200 || codePage == 1201 || codePage == 12000 || codePage == 12001;
}

// The code page that converts `codePage` here: itself, or where the system lacks it (Wine has
// no 51949), another number for the same encoding.
UINT SystemCodePage(int codePage) {
  if (::IsValidCodePage(static_cast<UINT>(codePage))) return static_cast<UINT>(codePage);
  struct Same {
    int codePage, other;
  };
  static constexpr Same kSame[] = {{51949, 20949}, {51932, 20932}, {38598, 28598}};
  for (const Same &s : kSame)
    if (s.codePage == codePage && ::IsValidCodePage(static_cast<UINT>(s.other)))
      return static_cast<UINT>(s.other);
  return 0;
}

void Utf16ToWide(std::string_view in, bool bigEndian, std::u16string *out, bool *lossy) {
  out->clear();
  for (size_t i = 0; i + 2 <= in.size(); i += 2) {
    unsigned char a = static_cast<unsigned char>(in[i]), b = static_cast<unsigned char>(in[i + 1]);
    out->push_back(static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a)));
  }
  if (in.size() % 2) {
    if (lossy) *lossy = true;
    out->push_back(u'\uFFFD');
  }
}

void Utf32ToWide(std::string_view in, bool bigEndian, std::u16string *out, bool *lossy) {
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
}

void WideToUtf16(std::u16string_view in, bool bigEndian, std::string *out) {
  out->clear();
  for (char16_t c : in) {
    char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
    out->push_back(bigEndian ? hi : lo);
    out->push_back(bigEndian ? lo : hi);
  }
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

bool RefusedFlags() {
  const DWORD e = ::GetLastError();
  return e == ERROR_INVALID_FLAGS || e == ERROR_INVALID_PARAMETER;
}

// MultiByteToWideChar over the whole text with `flags`; false when the system refused.
bool SystemToWide(UINT codePage, DWORD flags, std::string_view in, std::wstring *out) {
  const int inLen = static_cast<int>(in.size());
  int n = ::MultiByteToWideChar(codePage, flags, in.data(), inLen, nullptr, 0);
  if (n <= 0) return false;
  out->assign(static_cast<size_t>(n), L'\0');
  n = ::MultiByteToWideChar(codePage, flags, in.data(), inLen, out->data(), n);
  if (n <= 0) return false;
  out->resize(static_cast<size_t>(n));
  return true;
}

// WideCharToMultiByte with flags 0; `usedDefault` null for the code pages that take no
// default character. False when the system refused.
bool SystemFromWide(UINT codePage, std::u16string_view in, std::string *out, BOOL *usedDefault) {
  const wchar_t *src = reinterpret_cast<const wchar_t *>(in.data());
  const int inLen = static_cast<int>(in.size());
  const char *defaultChar = usedDefault ? "?" : nullptr;
  int n = ::WideCharToMultiByte(codePage, 0, src, inLen, nullptr, 0, defaultChar, usedDefault);
  if (n <= 0) return false;
  out->assign(static_cast<size_t>(n), '\0');
  n = ::WideCharToMultiByte(codePage, 0, src, inLen, out->data(), n, defaultChar, usedDefault);
  if (n <= 0) return false;
  out->resize(static_cast<size_t>(n));
  return true;
}

} // namespace

namespace system {

int DefaultAnsiCodePage() { return static_cast<int>(::GetACP()); }

bool Converts(size_t index) {
  const int codePage = CodePageAt(index);
  return IsUnicodeForm(codePage) || SystemCodePage(codePage) != 0;
}

void ToWide(size_t index, std::string_view in, std::u16string *out, bool *lossy) {
  const int codePage = CodePageAt(index);
  if (codePage == 1200 || codePage == 1201) return Utf16ToWide(in, codePage == 1201, out, lossy);
  if (codePage == 12000 || codePage == 12001)
    return Utf32ToWide(in, codePage == 12001, out, lossy);
  out->clear();
  if (in.empty() || in.size() > 0x7FFFFFFF) return;
  const UINT cp = SystemCodePage(codePage);
  std::wstring wide;
  // Invalid input is first detected, then converted with the system's replacements. Code pages
  // that refuse the flag (UTF-7, ISO-2022, ISCII, ...) are converted without it, and a loss is
  // what does not convert back to the same bytes.
  bool lost = false;
  if (!SystemToWide(cp, MB_ERR_INVALID_CHARS, in, &wide)) {
    const bool refused = RefusedFlags();
    if (!SystemToWide(cp, 0, in, &wide)) {
      if (lossy) *lossy = !in.empty();
      return;
    }
    std::string back;
    const std::u16string_view units(reinterpret_cast<const char16_t *>(wide.data()), wide.size());
    lost = !refused || !SystemFromWide(cp, units, &back, nullptr) || back != in;
  }
  out->assign(reinterpret_cast<const char16_t *>(wide.data()), wide.size());
  if (lost && lossy) *lossy = true;
}

void FromWide(size_t index, std::u16string_view in, std::string *out, bool *lossy) {
  const int codePage = CodePageAt(index);
  if (codePage == 1200 || codePage == 1201) return WideToUtf16(in, codePage == 1201, out);
  if (codePage == 12000 || codePage == 12001)
    return WideToUtf32(in, codePage == 12001, out, lossy);
  out->clear();
  if (in.empty() || in.size() > 0x7FFFFFFF) return;
  const UINT cp = SystemCodePage(codePage);
  BOOL usedDefault = FALSE;
  if (SystemFromWide(cp, in, out, &usedDefault)) {
    if (usedDefault && lossy) *lossy = true;
    if (cp != CP_UTF8) return;
  } else if (!SystemFromWide(cp, in, out, nullptr)) {
    if (lossy) *lossy = true;
    return;
  }
  // UTF-8 and the code pages that take no default character (UTF-7, ISO-2022, ISCII, ...):
  // a loss is what does not read back as the same text.
  std::wstring back;
  if (!SystemToWide(cp, 0, *out, &back) ||
      std::u16string_view(reinterpret_cast<const char16_t *>(back.data()), back.size()) != in)
    if (lossy) *lossy = true;
}

bool ConvertDirect(int, int, std::string_view, std::string *, bool *) { return false; }

int LeadByteLength(int codePage, unsigned char lead) {
  CPINFO info{};
  const UINT cp = SystemCodePage(codePage);
  if (!cp || !::GetCPInfo(cp, &info) || info.MaxCharSize < 2) return 0;
  for (int i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] || info.LeadByte[i + 1]); i += 2)
    if (lead >= info.LeadByte[i] && lead <= info.LeadByte[i + 1]) return 2;
  return 1;
}

} // namespace system
} // namespace qrx::platform
