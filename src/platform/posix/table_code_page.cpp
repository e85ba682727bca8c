// Table-driven conversion of the Windows code pages the library carries tables for: rows of
// lead bytes for reading, one entry per UTF-16 code unit for writing, and a fast path that
// copies ASCII sixteen bytes at a time.
#include "platform/posix/table_code_page.h"

#include "platform/posix/ascii_run.h"
#include "platform/posix/code_page_tables.h"
#include "platform/posix/utf8_codec.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

namespace qrx::platform {
namespace {

constexpr size_t kMaxTables = 32;

void Unpack(const uint16_t *words, size_t length, std::vector<char16_t> *out) {
  size_t i = 0;
  while (i < length) {
    const uint16_t t = words[i];
    if (t & 0x8000) {
      for (uint16_t k = 0; k < (t & 0x7FFF); ++k) out->push_back(static_cast<char16_t>(words[i + 1] + k));
      i += 2;
    } else if (t & 0x4000) {
      out->insert(out->end(), t & 0x3FFF, static_cast<char16_t>(words[i + 1]));
      i += 2;
    } else {
      out->insert(out->end(), words + i + 1, words + i + 1 + t);
      i += 1 + t;
    }
  }
}

} // namespace

const TableCodePage *TableCodePage::Find(int codePage) {
  static std::once_flag once[kMaxTables];
  static std::unique_ptr<TableCodePage> pages[kMaxTables];
  const auto tables = CodePageTables();
  for (size_t i = 0; i < tables.size() && i < kMaxTables; ++i) {
    if (tables[i].codePage != codePage) continue;
    std::call_once(once[i], [&] { pages[i] = std::make_unique<TableCodePage>(tables[i]); });
    return pages[i].get();
  }
  return nullptr;
}

TableCodePage::TableCodePage(const CodePageTable &t)
    : codePage_(t.codePage), unicodeDefault_(static_cast<char16_t>(t.unicodeDefault)) {
  std::memset(leadIndex_, 0, sizeof leadIndex_);
  int leads = 0;
  for (int b = 0; b < 256; ++b) {
    for (const auto &r : t.leadRanges)
      if ((r[0] || r[1]) && b >= r[0] && b <= r[1]) leadIndex_[b] = static_cast<uint8_t>(++leads);
    single_[b] = static_cast<char16_t>(t.single[b]);
    singleLossy_[b] = (t.singleLossy[b >> 5] >> (b & 31)) & 1;
  }
  rows_.reserve(static_cast<size_t>(leads) * 256);
  Unpack(t.rows, t.rowsLength, &rows_);
  rows_.resize(static_cast<size_t>(leads) * 256, 0); // a short table reads as rejected pairs

  // The way back: the plain inverse (the first sequence in byte order that reads as a
  // character), then the exceptions that Windows answers differently.
  back_.assign(0x10000, kUnmappedBytes);
  for (int b = 0; b < 256; ++b)
    if (!leadIndex_[b] && !singleLossy_[b] && (single_[b] != 0 || b == 0) && back_[single_[b]] == kUnmappedBytes)
      back_[single_[b]] = static_cast<uint16_t>(b);
  for (int lead = 0; lead < 256; ++lead) {
    if (!leadIndex_[lead]) continue;
    const char16_t *row = &rows_[(leadIndex_[lead] - 1) * 256];
    for (int trail = 0; trail < 256; ++trail)
      if (row[trail] && back_[row[trail]] == kUnmappedBytes)
        back_[row[trail]] = static_cast<uint16_t>((lead << 8) | trail);
  }
  for (size_t i = 0; i < t.backCount; ++i) back_[t.back[2 * i]] = t.back[2 * i + 1];
  asciiSame_ = true;
  for (int b = 0; b < 0x80; ++b)
    if (single_[b] != b || back_[b] != b || singleLossy_[b] || leadIndex_[b]) asciiSame_ = false;
}

void TableCodePage::ToWide(std::string_view in, std::u16string *out, bool *lossy) const {
  // Written straight into *out: a character never takes more units than bytes, so one unit per
  // byte is room enough. A string that is already that long is not resized (and so not cleared)
  // first, which keeps a reused buffer from being written twice.
  const size_t n = in.size();
  if (out->size() < n) out->resize(n);
  char16_t *d = out->data();
  const auto *s = reinterpret_cast<const unsigned char *>(in.data());
  size_t i = 0, k = 0; // k <= i throughout
  bool lost = false;
  while (i < n) {
    if (asciiSame_) {
      const size_t ascii = AsciiRun::Widen(s + i, n - i, d + k);
      i += ascii;
      k += ascii;
      if (i == n) break;
    }
    const unsigned char b = s[i];
    if (!leadIndex_[b]) {
      d[k++] = single_[b];
      lost |= singleLossy_[b];
      ++i;
    } else if (i + 1 == n) {
      d[k++] = unicodeDefault_;
      lost = true;
      ++i;
    } else {
      const unsigned char trail = s[i + 1];
      const char16_t u = rows_[(leadIndex_[b] - 1) * 256 + trail];
      if (u) {
        d[k++] = u;
        i += 2;
      } else {
        d[k++] = unicodeDefault_;
        lost = true;
        i += trail ? 2 : 1; // a zero byte is read on its own
      }
    }
  }
  out->resize(k);
  if (lost && lossy) *lossy = true;
}

void TableCodePage::ToUtf8(std::string_view in, std::string *out, bool *lossy) const {
  out->reserve(out->size() + in.size() + in.size() / 2);
  const auto *s = reinterpret_cast<const unsigned char *>(in.data());
  const size_t n = in.size();
  size_t i = 0;
  bool lost = false;
  while (i < n) {
    const size_t run = asciiSame_ ? AsciiRun::Prefix(s + i, n - i) : 0;
    if (run) {
      out->append(in.data() + i, run);
      i += run;
      if (i == n) break;
    }
    // One character, a single byte or a pair; no table code page reads a surrogate, so each
    // character is one UTF-16 unit.
    const unsigned char b = s[i];
    char16_t u;
    if (!leadIndex_[b]) {
      u = single_[b];
      lost |= singleLossy_[b];
      ++i;
    } else if (i + 1 == n) {
      u = unicodeDefault_;
      lost = true;
      ++i;
    } else {
      const unsigned char trail = s[i + 1];
      u = rows_[(leadIndex_[b] - 1) * 256 + trail];
      if (u) {
        i += 2;
      } else {
        u = unicodeDefault_;
        lost = true;
        i += trail ? 2 : 1;
      }
    }
    char bytes[3];
    if (u < 0x80) {
      out->push_back(static_cast<char>(u));
    } else if (u < 0x800) {
      bytes[0] = static_cast<char>(0xC0 | (u >> 6));
      bytes[1] = static_cast<char>(0x80 | (u & 0x3F));
      out->append(bytes, 2);
    } else {
      bytes[0] = static_cast<char>(0xE0 | (u >> 12));
      bytes[1] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | (u & 0x3F));
      out->append(bytes, 3);
    }
  }
  if (lost && lossy) *lossy = true;
}

void TableCodePage::PutUnit(char16_t u, std::string *out, bool *lost) const {
  const uint16_t v = back_[u];
  if (v == kUnmappedBytes) {
    out->push_back('?');
    *lost = true;
  } else if (v < 0x100) {
    out->push_back(static_cast<char>(v));
  } else {
    out->push_back(static_cast<char>(v >> 8));
    out->push_back(static_cast<char>(v & 0xFF));
  }
}

void TableCodePage::ToBytes(std::u16string_view in, std::string *out, bool *lossy) const {
  // Written straight into *out, sized for mostly single-byte text and grown when double-byte
  // characters need more; as in ToWide, a long enough string is not resized first.
  const char16_t *s = in.data();
  const size_t n = in.size();
  if (out->size() < n + n / 8 + 16) out->resize(n + n / 8 + 16);
  char *d = out->data();
  size_t room = out->size();
  size_t i = 0, k = 0;
  bool lost = false;
  while (i < n) {
    if (k + 2 > room) {
      out->resize(k + 2 * (n - i) + 16);
      d = out->data();
      room = out->size();
    }
    if (asciiSame_) {
      const size_t ascii = AsciiRun::Narrow(s + i, std::min(n - i, room - k), d + k);
      i += ascii;
      k += ascii;
      if (i == n) break;
      if (k + 2 > room) continue;
    }
    const uint16_t v = back_[s[i++]];
    if (v == kUnmappedBytes) {
      d[k++] = '?';
      lost = true;
    } else if (v < 0x100) {
      d[k++] = static_cast<char>(v);
    } else {
      d[k++] = static_cast<char>(v >> 8);
      d[k++] = static_cast<char>(v & 0xFF);
    }
  }
  out->resize(k);
  if (lost && lossy) *lossy = true;
}

void TableCodePage::Utf8ToBytes(std::string_view utf8, std::string *out, bool *lossy) const {
  out->reserve(out->size() + utf8.size());
  const auto *s = reinterpret_cast<const unsigned char *>(utf8.data());
  const size_t n = utf8.size();
  size_t i = 0;
  bool lost = false;
  while (i < n) {
    // ASCII runs are copied as they stand where the code page keeps ASCII as it is.
    const size_t run = asciiSame_ ? AsciiRun::Prefix(s + i, n - i) : 0;
    if (run) {
      out->append(utf8.data() + i, run);
      i += run;
      if (i == n) break;
    }
    const int32_t cp = Utf8Codec::Next(utf8, &i);
    if (cp < 0) {
      PutUnit(0xFFFD, out, &lost);
      lost = true;
    } else if (cp < 0x10000) {
      PutUnit(static_cast<char16_t>(cp), out, &lost);
    } else {
      PutUnit(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)), out, &lost);
      PutUnit(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)), out, &lost);
    }
  }
  if (lost && lossy) *lossy = true;
}

} // namespace qrx::platform
