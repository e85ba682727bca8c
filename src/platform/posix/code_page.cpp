// The POSIX converters behind the shared code-page front end: the library's own tables for
// the Windows code pages that matter, its own UTF-8 codec, and glibc's iconv for the rest.
#include "platform/code_page_system.h"

#include "platform/posix/code_page_tables.h"
#include "platform/posix/table_code_page.h"
#include "platform/posix/utf8_codec.h"
#include "platform/posix/windows_byte_readings.h"

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

size_t EntryCount() {
  size_t n = 0;
  CodePageEntries(&n);
  return n;
}

const char *NameAt(size_t index) {
  size_t n = 0;
  return CodePageEntries(&n)[index].name;
}

int CodePageAt(size_t index) {
  size_t n = 0;
  return CodePageEntries(&n)[index].codePage;
}

// Whether iconv opens the name, asked once per code page.
bool IconvOpens(size_t index) {
  static const std::unique_ptr<std::atomic<int8_t>[]> known( // 0 not asked, 1 opens, -1 does not
      new std::atomic<int8_t>[EntryCount()]());
  int8_t k = known[index].load(std::memory_order_acquire);
  if (k == 0) {
    iconv_t cd = OpenConverter(NativeUtf16(), NameAt(index));
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
  static const std::unique_ptr<std::once_flag[]> once(new std::once_flag[EntryCount()]);
  static const std::unique_ptr<std::unique_ptr<TableCodePage>[]> tables(
      new std::unique_ptr<TableCodePage>[EntryCount()]);
  std::call_once(once[index], [index] {
    const char *name = NameAt(index);
    if (UnitSize(name) != 1 || CodePageAt(index) == 65001) return;
    iconv_t cd = OpenConverter(NativeUtf16(), name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return;
    uint16_t single[256];
    CodePageTable table{};
    table.codePage = CodePageAt(index);
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
    if (!singleByte) return;
    for (size_t i = 0; i < kWindowsByteReadingCount; ++i) {
      const WindowsByteReading &r = kWindowsByteReadings[i];
      if (r.codePage != table.codePage) continue;
      single[r.byte] = r.unit;
      table.singleLossy[r.byte >> 5] &= ~(1u << (r.byte & 31));
    }
    tables[index] = std::make_unique<TableCodePage>(table);
  });
  return tables[index].get();
}

// The converter for a code page: the library's Windows tables, or a single-byte table made
// from iconv; null for UTF-8 and for the code pages iconv converts itself.
const TableCodePage *TableFor(int codePage) {
  if (const TableCodePage *table = TableCodePage::Find(codePage)) return table;
  const int index = CodePageIndex(codePage);
  if (index < 0 || !IconvOpens(static_cast<size_t>(index))) return nullptr;
  return SingleByteTable(static_cast<size_t>(index));
}

} // namespace

namespace system {

int DefaultAnsiCodePage() { return 936; }

bool Converts(size_t index) {
  const int codePage = CodePageAt(index);
  return codePage == 65001 || TableCodePage::Find(codePage) || IconvOpens(index);
}

void ToWide(size_t index, std::string_view in, std::u16string *out, bool *lossy) {
  const int codePage = CodePageAt(index);
  if (const TableCodePage *table = TableFor(codePage)) {
    table->ToWide(in, out, lossy);
    return;
  }
  if (codePage == 65001) {
    Utf8Codec::ToUtf16(in, out, lossy);
    return;
  }
  const char *name = NameAt(index);
  std::string bytes;
  out->clear();
  if (!Convert(name, NativeUtf16(), in, &bytes, lossy, std::string_view("\xFD\xFF", 2), UnitSize(name)))
    return;
  out->assign(reinterpret_cast<const char16_t *>(bytes.data()), bytes.size() / 2);
}

void FromWide(size_t index, std::u16string_view in, std::string *out, bool *lossy) {
  const int codePage = CodePageAt(index);
  if (const TableCodePage *table = TableFor(codePage)) {
    table->ToBytes(in, out, lossy);
    return;
  }
  out->clear();
  if (codePage == 65001) {
    Utf8Codec::FromUtf16(in, out, lossy);
    return;
  }
  const char *name = NameAt(index);
  // The replacement is '?' in the target encoding.
  std::string replacement;
  {
    std::string converted;
    const char16_t question[] = u"?";
    std::string_view q(reinterpret_cast<const char *>(question), 2);
    if (Convert(NativeUtf16(), name, q, &converted, nullptr, "", 2)) replacement = converted;
  }
  std::string_view bytes(reinterpret_cast<const char *>(in.data()), in.size() * 2);
  Convert(NativeUtf16(), name, bytes, out, lossy, replacement, 2);
}

bool ConvertDirect(int fromCodePage, int toCodePage, std::string_view in, std::string *out,
                   bool *lossy) {
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
  return false;
}

int LeadByteLength(int codePage, unsigned char lead) {
  if (const TableCodePage *table = TableFor(codePage)) return table->IsLeadByte(lead) ? 2 : 1;
  switch (codePage) {
  case 54936: case 20936: case 51936: case 20949: case 51949: case 1361:
    return (lead >= 0x81 && lead <= 0xFE) ? 2 : 1;
  default:
    return 0;
  }
}

} // namespace system
} // namespace qrx::platform
