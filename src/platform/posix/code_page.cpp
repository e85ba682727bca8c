// Code-page conversion with Windows code-page numbers as the keys: the library's own tables
// for the Windows code pages that matter, its own UTF-8 codec, and glibc's iconv for the rest.
#include "platform/code_page.h"

#include "platform/posix/code_page_tables.h"
#include "platform/posix/table_code_page.h"
#include "platform/posix/utf8_codec.h"

#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace qrx::platform {
namespace {

struct CodePageName {
  int codePage;
  const char *name;
};

// Every code page of the XML encoding-name table that this platform can convert. The table
// code pages and UTF-8 are converted by the library itself; the others by iconv under the
// name given, used only once iconv has shown that it opens (glibc's converter modules differ
// between installations).
constexpr CodePageName kCodePages[] = {
    {37, "IBM037"},         {437, "CP437"},         {500, "IBM500"},        {708, "ASMO-708"},
    {737, "CP737"},         {775, "CP775"},         {850, "CP850"},         {852, "CP852"},
    {855, "CP855"},         {857, "CP857"},         {858, "CP858"},         {860, "CP860"},
    {861, "CP861"},         {862, "CP862"},         {863, "CP863"},         {864, "CP864"},
    {865, "CP865"},         {866, "CP866"},         {869, "CP869"},         {870, "IBM870"},
    {874, "CP874"},         {875, "IBM875"},        {932, "CP932"},         {936, "GBK"},
    {949, "CP949"},         {950, "CP950"},         {1026, "IBM1026"},      {1047, "IBM1047"},
    {1140, "IBM1140"},      {1141, "IBM1141"},      {1142, "IBM1142"},      {1143, "IBM1143"},
    {1144, "IBM1144"},      {1145, "IBM1145"},      {1146, "IBM1146"},      {1147, "IBM1147"},
    {1148, "IBM1148"},      {1149, "IBM1149"},      {1200, "UTF-16LE"},     {1201, "UTF-16BE"},
    {1250, "CP1250"},       {1251, "CP1251"},       {1252, "CP1252"},       {1253, "CP1253"},
    {1254, "CP1254"},       {1255, "CP1255"},       {1256, "CP1256"},       {1257, "CP1257"},
    {1258, "CP1258"},       {1361, "JOHAB"},        {10000, "MACINTOSH"},   {10007, "MAC-CYRILLIC"},
    {10017, "MACUKRAINIAN"},{10029, "MAC-CENTRALEUROPE"}, {10079, "MAC-IS"},
    {12000, "UTF-32LE"},    {12001, "UTF-32BE"},    {20127, "ASCII"},       {20261, "T.61-8BIT"},
    {20269, "ISO_6937"},    {20106, "ISO646-DE"},   {20107, "ISO646-SE"},   {20108, "ISO646-NO"},    {20273, "IBM273"},      {20277, "IBM277"},      {20278, "IBM278"},
    {20280, "IBM280"},      {20284, "IBM284"},      {20285, "IBM285"},      {20290, "IBM290"},
    {20297, "IBM297"},      {20420, "IBM420"},      {20423, "IBM423"},      {20424, "IBM424"},
    {20866, "KOI8-R"},      {20871, "IBM871"},      {20880, "IBM880"},      {20905, "IBM905"},
    {20932, "EUC-JP"},      {20936, "GB2312"},      {20949, "EUC-KR"},      {21025, "IBM1025"},
    {21866, "KOI8-U"},      {28591, "ISO-8859-1"},  {28592, "ISO-8859-2"},  {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},  {28595, "ISO-8859-5"},  {28596, "ISO-8859-6"},  {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},  {28599, "ISO-8859-9"},  {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"},
    {38598, "ISO-8859-8"},  {50220, "ISO-2022-JP"}, {50221, "ISO-2022-JP"}, {50222, "ISO-2022-JP"},
    {50225, "ISO-2022-KR"}, {50227, "ISO-2022-CN"}, {51932, "EUC-JP"},      {51936, "GB2312"},
    {51949, "EUC-KR"},      {54936, "GB18030"},     {65000, "UTF-7"},       {65001, "UTF-8"},
};
constexpr size_t kCodePageCount = sizeof kCodePages / sizeof kCodePages[0];

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

const char *NativeUtf16() {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  return "UTF-16LE";
#else
  return "UTF-16BE";
#endif
}

// Whether iconv opens the name, asked once per code page.
bool IconvOpens(size_t index) {
  static std::atomic<int8_t> known[kCodePageCount]; // 0 not asked, 1 opens, -1 does not
  int8_t k = known[index].load(std::memory_order_acquire);
  if (k == 0) {
    iconv_t cd = OpenConverter(NativeUtf16(), kCodePages[index].name);
    k = cd == reinterpret_cast<iconv_t>(-1) ? -1 : 1;
    if (k == 1) CloseConverter(cd);
    known[index].store(k, std::memory_order_release);
  }
  return k == 1;
}

// Runs one iconv conversion over the whole input. Unconvertible input is replaced: a byte
// sequence that is invalid in the source is skipped and counted, a character the target
// cannot hold is written as the replacement. The input goes to iconv in pieces of 64
// bytes: after a character it cannot convert, glibc converts the piece again up to that
// character, so a long piece would make every lost character cost the whole piece.
bool Convert(const char *from, const char *to, std::string_view in, std::string *out,
             bool *lossy, std::string_view replacement, int unitSize) {
  constexpr size_t kPiece = 64;
  iconv_t cd = OpenConverter(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char buf[kPiece * 8 + 64];
  char *src = const_cast<char *>(in.data());
  size_t srcLeft = in.size();
  size_t carry = 0; // bytes of an incomplete character left at the end of the last piece
  bool lost = false;
  while (srcLeft > 0) {
    size_t pieceLeft = std::min(srcLeft, carry + kPiece);
    const size_t piece = pieceLeft;
    char *dst = buf;
    size_t dstLeft = sizeof buf;
    const char *before = src;
    size_t r = ::iconv(cd, &src, &pieceLeft, &dst, &dstLeft);
    const int error = errno;
    srcLeft -= static_cast<size_t>(src - before);
    out->append(buf, static_cast<size_t>(dst - buf));
    carry = 0;
    if (r == static_cast<size_t>(-1)) {
      if (error == E2BIG) continue;
      if (error == EINVAL && piece < srcLeft + static_cast<size_t>(src - before)) {
        carry = pieceLeft; // the character goes on in the next piece
        continue;
      }
      lost = true;
      out->append(replacement);
      size_t skip = error == EINVAL ? srcLeft : std::min<size_t>(srcLeft, unitSize);
      src += skip;
      srcLeft -= skip;
    } else if (r > 0) {
      lost = true; // irreversible conversions
    }
  }
  char *dst = buf;
  size_t dstLeft = sizeof buf;
  ::iconv(cd, nullptr, nullptr, &dst, &dstLeft);
  out->append(buf, static_cast<size_t>(dst - buf));
  CloseConverter(cd);
  if (lost && lossy) *lossy = true;
  return true;
}

int UnitSize(const char *name) {
  if (std::strncmp(name, "UTF-16", 6) == 0) return 2;
  if (std::strncmp(name, "UTF-32", 6) == 0) return 4;
  return 1;
}

// A stateless single-byte code page of iconv becomes a table on first use: each byte is
// converted once, and conversions then cost a lookup per character. Null when iconv cannot
// open the code page or it is not single-byte (a byte that starts a longer sequence, changes
// a state or reads as more than one unit).
const TableCodePage *SingleByteTable(size_t index) {
  static std::once_flag once[kCodePageCount];
  static std::unique_ptr<TableCodePage> tables[kCodePageCount];
  std::call_once(once[index], [index] {
    const char *name = kCodePages[index].name;
    if (UnitSize(name) != 1 || kCodePages[index].codePage == 65001) return;
    iconv_t cd = OpenConverter(NativeUtf16(), name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return;
    uint16_t single[256];
    CodePageTable table{};
    table.codePage = kCodePages[index].codePage;
    table.unicodeDefault = 0xFFFD;
    table.single = single;
    bool singleByte = true;
    for (int b = 0; b < 256 && singleByte; ++b) {
      ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
      char in = static_cast<char>(b);
      char16_t unit[4];
      char *src = &in, *dst = reinterpret_cast<char *>(unit);
      size_t srcLeft = 1, dstLeft = sizeof unit;
      size_t r = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
      const size_t units = (sizeof unit - dstLeft) / 2;
      if (r == static_cast<size_t>(-1) && errno == EILSEQ) {
        single[b] = 0xFFFD;
        table.singleLossy[b >> 5] |= 1u << (b & 31);
      } else if (r != static_cast<size_t>(-1) && units == 1 && srcLeft == 0) {
        single[b] = unit[0];
      } else {
        singleByte = false;
      }
    }
    CloseConverter(cd);
    if (singleByte) tables[index] = std::make_unique<TableCodePage>(table);
  });
  return tables[index].get();
}

// The converter for a code page: the library's Windows tables, or a single-byte table made
// from iconv; null for UTF-8 and for the code pages iconv converts itself.
const TableCodePage *TableFor(int codePage) {
  if (const TableCodePage *table = TableCodePage::Find(codePage)) return table;
  for (size_t i = 0; i < kCodePageCount; ++i)
    if (kCodePages[i].codePage == codePage) return IconvOpens(i) ? SingleByteTable(i) : nullptr;
  return nullptr;
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
  for (size_t i = 0; i < kCodePageCount; ++i) {
    if (kCodePages[i].codePage != codePage) continue;
    if (codePage == 65001 || TableCodePage::Find(codePage) || IconvOpens(i)) return kCodePages[i].name;
    return nullptr;
  }
  return nullptr;
}

bool MultiByteToWide(int codePage, std::string_view in, std::u16string *out, bool *lossy) {
  if (!out) return false;
  if (const TableCodePage *table = TableFor(codePage)) {
    table->ToWide(in, out, lossy);
    return true;
  }
  if (codePage == 65001) {
    Utf8Codec::ToUtf16(in, out, lossy);
    return true;
  }
  const char *name = IconvNameForCodePage(codePage);
  if (!name) return false;
  std::string bytes;
  if (!Convert(name, NativeUtf16(), in, &bytes, lossy, std::string_view("\xFD\xFF", 2), UnitSize(name)))
    return false;
  out->assign(reinterpret_cast<const char16_t *>(bytes.data()), bytes.size() / 2);
  return true;
}

bool WideToMultiByte(int codePage, std::u16string_view in, std::string *out, bool *lossy) {
  if (!out) return false;
  if (const TableCodePage *table = TableFor(codePage)) {
    table->ToBytes(in, out, lossy);
    return true;
  }
  if (codePage == 65001) {
    out->clear();
    Utf8Codec::FromUtf16(in, out, lossy);
    return true;
  }
  const char *name = IconvNameForCodePage(codePage);
  if (!name) return false;
  // The replacement is '?' in the target encoding.
  std::string replacement;
  {
    std::string converted;
    const char16_t question[] = u"?";
    std::string_view q(reinterpret_cast<const char *>(question), 2);
    if (Convert(NativeUtf16(), name, q, &converted, nullptr, "", 2)) replacement = converted;
  }
  std::string_view bytes(reinterpret_cast<const char *>(in.data()), in.size() * 2);
  out->clear();
  return Convert(NativeUtf16(), name, bytes, out, lossy, replacement, 2);
}

bool ConvertCodePage(int fromCodePage, int toCodePage, std::string_view in, std::string *out,
                     bool *lossy) {
  if (!out) return false;
  if (fromCodePage == 65001) {
    if (const TableCodePage *table = TableFor(toCodePage)) {
      out->clear();
      table->Utf8ToBytes(in, out, lossy);
      return true;
    }
  }
  if (toCodePage == 65001) {
    if (const TableCodePage *table = TableFor(fromCodePage)) {
      out->clear();
      table->ToUtf8(in, out, lossy);
      return true;
    }
  }
    std::u16string wide;
  bool lost = false;
  if (!MultiByteToWide(fromCodePage, in, &wide, &lost)) return false;
  if (!WideToMultiByte(toCodePage, wide, out, &lost)) return false;
  if (lost && lossy) *lossy = true;
  return true;
}

std::string AnsiToUtf8(std::string_view text) {
  std::string out;
  if (!ConvertCodePage(AnsiCodePage(), 65001, text, &out, nullptr)) return std::string(text);
  return out;
}

std::string Utf8ToAnsi(std::string_view text) {
  std::string out;
  if (!ConvertCodePage(65001, AnsiCodePage(), text, &out, nullptr)) return std::string(text);
  return out;
}

int AnsiCharLength(unsigned char lead) {
  const int acp = AnsiCodePage();
  if (const TableCodePage *table = TableFor(acp)) return table->IsLeadByte(lead) ? 2 : 1;
  switch (acp) {
  case 54936: case 20936: case 51936: case 20949: case 51949: case 1361:
    return (lead >= 0x81 && lead <= 0xFE) ? 2 : 1;
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
