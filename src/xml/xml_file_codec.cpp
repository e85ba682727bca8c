// Encoding detection and conversion of XML files. The document text is always held in the
// ANSI code page; what the file was (mark, declaration, UTF-16 byte order) is kept in the
// document flags so that saving writes the file back the way it came.
#include "xml/xml_file_codec.h"

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "xml/xml_encoding_table.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

namespace qrx {
namespace {

constexpr uint32_t kUtf16Le = 0x01, kUtf8Bom = 0x04, kUtf16Be = 0x80;
constexpr size_t kHeadBytes = 1024;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Lower(s[i]) != Lower(prefix[i])) return false;
  return true;
}

size_t FindNoCase(std::string_view s, std::string_view what, size_t from) {
  for (size_t i = from; i + what.size() <= s.size(); ++i)
    if (StartsWithNoCase(s.substr(i), what)) return i;
  return std::string_view::npos;
}

// Value of the pseudo-attribute or attribute `name` inside a tag's text; nullopt if absent.
std::optional<std::string> TagAttribute(std::string_view tag, std::string_view name) {
  size_t i = 0;
  while (i < tag.size()) {
    size_t at = FindNoCase(tag, name, i);
    if (at == std::string_view::npos) return std::nullopt;
    size_t p = at + name.size();
    bool wholeName = at > 0 && (IsBlank(tag[at - 1]) || tag[at - 1] == '"' || tag[at - 1] == '\'');
    while (p < tag.size() && IsBlank(tag[p])) ++p;
    if (!wholeName || p >= tag.size() || tag[p] != '=') {
      i = at + 1;
      continue;
    }
    ++p;
    while (p < tag.size() && IsBlank(tag[p])) ++p;
    if (p < tag.size() && (tag[p] == '"' || tag[p] == '\'')) {
      size_t e = tag.find(tag[p], p + 1);
      if (e == std::string_view::npos) return std::nullopt;
      return std::string(tag.substr(p + 1, e - p - 1));
    }
    size_t e = p;
    while (e < tag.size() && !IsBlank(tag[e]) && std::string_view(">/?;\"'").find(tag[e]) == std::string_view::npos)
      ++e;
    return std::string(tag.substr(p, e - p));
  }
  return std::nullopt;
}

// What an encoding name means for conversion.
struct Encoding {
  std::string name;
  int codePage = 0;   // 0: unknown, never converted
};

Encoding Resolve(const std::string &name) {
  Encoding e{name, 0};
  if (name.empty()) {
    e.codePage = platform::AnsiCodePage();
  } else if (name.rfind("UTF-32", 0) == 0) {
    // UTF-32 files are not read as such; the text is taken as it is.
    e.codePage = 0;
  } else {
    e.codePage = EncodingNameToCodePage(name);
  }
  return e; // a code page without a converter here is reported where it would be converted
}

std::string AnsiName() {
  const char *n = platform::CodePageName(platform::AnsiCodePage());
  return n ? n : std::to_string(platform::AnsiCodePage());
}

// True when the text holds bytes above 0x7F and every one of them is part of a valid UTF-8
// sequence (no overlong forms, no surrogates, nothing beyond U+10FFFF).
bool LooksLikeUtf8(std::string_view s) {
  bool nonAscii = false;
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) { ++i; continue; }
    nonAscii = true;
    size_t len;
    uint32_t min;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) { len = 2; min = 0x80; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { len = 3; min = 0x800; cp = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { len = 4; min = 0x10000; cp = c & 0x07; }
    else return false;
    if (i + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k) {
      unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return nonAscii;
}

// Index of the first byte at or after i that is not ASCII; n when there is none. Eight bytes
// at a time: setting files are mostly ASCII.
size_t SkipAscii(const char *s, size_t i, size_t n) {
  while (i + 8 <= n) {
    uint64_t word;
    std::memcpy(&word, s + i, 8);
    if (word & 0x8080808080808080ull) break;
    i += 8;
  }
  while (i < n && static_cast<unsigned char>(s[i]) < 0x80) ++i;
  return i;
}
size_t SkipAscii(const char16_t *s, size_t i, size_t n) {
  while (i < n && s[i] < 0x80) ++i;
  return i;
}

// Converts a text in which ASCII stands for itself, as it does in UTF-8, UTF-16 and every ANSI
// code page. Only the runs of other characters go through the converter, all in one call and
// separated by line feeds; the ASCII between them, which is nearly all of a settings file and
// all of its markup, is copied. Knowing where each run lies also keeps conversion losses from
// changing the document's structure:
//  - a character that comes out as one of < > " ' was not one of them (a best-fit mapping), so
//    it is written as '?' like any other loss;
//  - a lost character right after "<" or "</", or right before ">", is written as '_', not
//    '?': "<?" would open a processing instruction, "</?" would close nothing and "?>" would
//    end one early, and the elements around them would be lost.
// `charLength` tells how many units a non-ASCII character starting with a unit takes (a
// double-byte code page's trail byte may be ASCII and must stay with its lead byte). False when
// the converter fails or does not keep the separators, in which case nothing is written.
template <class Unit, class CharLength, class ConvertFn>
bool ConvertRuns(std::basic_string_view<Unit> in, CharLength charLength, ConvertFn convert,
                 std::string *out, bool *lossy) {
  struct Run {
    size_t begin, end;
  };
  std::vector<Run> runs;
  const size_t n = in.size();
  size_t gatheredSize = 0;
  for (size_t i = SkipAscii(in.data(), 0, n); i < n; i = SkipAscii(in.data(), i, n)) {
    const size_t begin = i;
    while (i < n && static_cast<std::make_unsigned_t<Unit>>(in[i]) >= 0x80)
      i += charLength(in[i]);
    i = std::min(i, n);
    runs.push_back({begin, i});
    gatheredSize += i - begin + 1;
  }
  std::string converted;
  bool lost = false;
  if (!runs.empty()) {
    std::basic_string<Unit> gathered;
    gathered.reserve(gatheredSize);
    for (const Run &r : runs) {
      gathered.append(in.substr(r.begin, r.end - r.begin));
      gathered.push_back(Unit('\n'));
    }
    if (!convert(std::basic_string_view<Unit>(gathered), &converted, &lost)) return false;
    if (static_cast<size_t>(std::count(converted.begin(), converted.end(), '\n')) != runs.size())
      return false;
  }
  out->clear();
  out->reserve(n + converted.size());
  auto copyAscii = [&](size_t from, size_t to) {
    if constexpr (sizeof(Unit) == 1) {
      out->append(reinterpret_cast<const char *>(in.data()) + from, to - from);
    } else {
      for (size_t k = from; k < to; ++k) out->push_back(static_cast<char>(in[k]));
    }
  };
  size_t at = 0, piece = 0;
  for (const Run &r : runs) {
    copyAscii(at, r.begin);
    const size_t pieceEnd = converted.find('\n', piece);
    const size_t first = out->size();
    out->append(converted, piece, pieceEnd - piece);
    piece = pieceEnd + 1;
    const size_t last = out->size();
    if (last > first) {
      char *p = out->data();
      // The markup bytes are below 0x40 and never trail bytes of a multi-byte character.
      for (size_t k = first; k < last; ++k)
        if (p[k] == '<' || p[k] == '>' || p[k] == '"' || p[k] == '\'') {
          p[k] = '?';
          lost = true;
        }
      const bool afterOpen = (r.begin >= 1 && in[r.begin - 1] == Unit('<')) ||
                             (r.begin >= 2 && in[r.begin - 1] == Unit('/') && in[r.begin - 2] == Unit('<'));
      const bool beforeClose = r.end < n && in[r.end] == Unit('>');
      if (afterOpen && p[first] == '?') p[first] = '_';
      if (beforeClose && p[last - 1] == '?') p[last - 1] = '_';
    }
    at = r.end;
  }
  copyAscii(at, n);
  if (lost && lossy) *lossy = true;
  return true;
}

// UTF-16 to the code page `to`, run by run (above); the whole text at once when that fails.
void WideToCodePage(int to, std::u16string_view wide, std::string *out, bool *lossy) {
  auto convert = [to](std::u16string_view g, std::string *o, bool *l) {
    return platform::WideToMultiByte(to, g, o, l);
  };
  auto one = [](char16_t) { return size_t{1}; };
  if (!ConvertRuns(wide, one, convert, out, lossy)) platform::WideToMultiByte(to, wide, out, lossy);
}

// Bytes of code page `from` to code page `to`, run by run (directly where the platform has a
// path between the two, else through UTF-16). `ansiLeads` says
// whether a non-ASCII lead byte of `from` may be followed by an ASCII trail byte (the ANSI
// code page's double-byte characters); UTF-8 never has one.
void BytesToCodePage(int from, int to, std::string_view bytes, bool ansiLeads, std::string *out,
                     bool *lossy) {
  auto convert = [from, to](std::string_view g, std::string *o, bool *l) {
    return platform::ConvertCodePage(from, to, g, o, l);
  };
  bool ok;
  if (ansiLeads) {
    ok = ConvertRuns(bytes, [](char c) { return static_cast<size_t>(
                                             platform::AnsiCharLength(static_cast<unsigned char>(c))); },
                     convert, out, lossy);
  } else {
    ok = ConvertRuns(bytes, [](char) { return size_t{1}; }, convert, out, lossy);
  }
  if (ok) return;
  platform::ConvertCodePage(from, to, bytes, out, lossy);
}

// Whether this platform converts code page `codePage` at all.
bool Convertible(int codePage) { return platform::CodePageName(codePage) != nullptr; }

void ToAnsiFromWide(std::u16string_view wide, std::string *text, CXmlReport *report) {
  bool lossy = false;
  WideToCodePage(platform::AnsiCodePage(), wide, text, &lossy);
  report->Add("converted_to").Text("encoding", AnsiName());
  if (lossy) report->Add("conversion_loss").Text("encoding", AnsiName());
}

} // namespace

std::optional<std::string> CXmlFileCodec::DeclaredEncoding(std::string_view text) {
  std::string_view head = text.substr(0, std::min(text.size(), kHeadBytes));
  size_t i = 0;
  while (i < head.size() && IsBlank(head[i])) ++i;
  if (head.substr(i).starts_with("<?xml") && i + 5 < head.size() && (IsBlank(head[i + 5]) || head[i + 5] == '?')) {
    size_t e = head.find("?>", i);
    return TagAttribute(head.substr(i + 5, e == std::string_view::npos ? std::string_view::npos : e - i - 5),
                        "encoding");
  }
  // An HTML page names its charset in a meta element.
  for (size_t at = FindNoCase(head, "<meta", 0); at != std::string_view::npos;
       at = FindNoCase(head, "<meta", at + 5)) {
    size_t e = head.find('>', at);
    std::string_view tag = head.substr(at + 5, e == std::string_view::npos ? std::string_view::npos : e - at - 5);
    if (auto cs = TagAttribute(tag, "charset")) return cs;
    auto equiv = TagAttribute(tag, "http-equiv");
    if (!equiv || !StartsWithNoCase(*equiv, "content-type") || equiv->size() != 12) continue;
    auto content = TagAttribute(tag, "content");
    if (!content) continue;
    size_t c = FindNoCase(*content, "charset=", 0);
    if (c == std::string::npos) continue;
    size_t b = c + 8, f = b;
    while (f < content->size() && (*content)[f] != ';' && !IsBlank((*content)[f])) ++f;
    return content->substr(b, f - b);
  }
  return std::nullopt;
}

void CXmlFileCodec::Decode(std::string_view bytes, std::string *text, uint32_t *fileFlags,
                           CXmlReport *report, std::string *owner) {
  *fileFlags = 0;
  const size_t fileLength = bytes.size();
  auto at = [&](size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u; };
  enum { kSingle, kLe, kBe } form = kSingle;
  Encoding enc;
  bool known = false; // an encoding was marked or declared (or implied by a leading "<")
  if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
    bytes.remove_prefix(3);
    *fileFlags |= kUtf8Bom;
    enc = Resolve("UTF-8");
    known = true;
    report->Add("bom").Text("encoding", "UTF-8");
  } else if (at(0) == 0xFF && at(1) == 0xFE) {
    bytes.remove_prefix(2);
    *fileFlags |= kUtf16Le;
    form = kLe;
    enc = {"UTF-16LE", 1200};
    report->Add("bom").Text("encoding", "UTF-16LE");
  } else if (at(0) == 0xFE && at(1) == 0xFF) {
    bytes.remove_prefix(2);
    *fileFlags |= kUtf16Be;
    form = kBe;
    enc = {"UTF-16BE", 1201};
    report->Add("bom").Text("encoding", "UTF-16BE");
  } else if (at(0) == '<' && at(1) == 0 && at(2) != 0x100 && at(3) == 0) {
    // UTF-16 without a mark still shows itself by the zero byte beside the first "<"; taken
    // as 8-bit text it would lose every other byte. Saved with a mark from now on.
    *fileFlags |= kUtf16Le;
    form = kLe;
    enc = {"UTF-16LE", 1200};
  } else if (at(0) == 0 && at(1) == '<' && at(2) == 0 && at(3) != 0x100) {
    *fileFlags |= kUtf16Be;
    form = kBe;
    enc = {"UTF-16BE", 1201};
  }

  if (form == kSingle) {
    if (!known) {
      if (auto declared = DeclaredEncoding(bytes)) {
        enc = Resolve(*declared);
        known = true;
        // 8-bit text that calls itself UTF-16 is not UTF-16; take its bytes as they are.
        if (enc.codePage == 1200 || enc.codePage == 1201) enc.codePage = 0;
      } else if (!bytes.empty() && bytes[0] == '<') {
        enc = Resolve("UTF-8");
        known = true;
      }
    }
    // Zero bytes are removed; a file without any (nearly every one) is not copied for it.
    std::string withoutNulls;
    std::string_view data = bytes;
    size_t nulls = 0;
    if (std::memchr(bytes.data(), 0, bytes.size())) {
      withoutNulls.reserve(bytes.size());
      for (size_t i = 0; i < bytes.size();) {
        const void *z = std::memchr(bytes.data() + i, 0, bytes.size() - i);
        size_t e = z ? static_cast<size_t>(static_cast<const char *>(z) - bytes.data()) : bytes.size();
        withoutNulls.append(bytes.substr(i, e - i));
        if (!z) break;
        ++nulls;
        i = e + 1;
      }
      data = withoutNulls;
    }
    if (nulls) report->Add("nulls_removed").Number("count", static_cast<int64_t>(nulls));
    if (!known && LooksLikeUtf8(data)) {
      enc = Resolve("UTF-8");
      known = true;
      report->Add("utf8_detection").Text("encoding", "UTF-8");
    }
    const int acp = platform::AnsiCodePage();
    // An encoding this platform has no converter for is kept as it is, and said so: an empty
    // or garbled text would be saved over the file.
    bool convert = known && enc.codePage != 0 && enc.codePage != acp;
    if (convert && !Convertible(enc.codePage)) {
      report->Add("conversion_error").Text("encoding", enc.name);
      convert = false;
    }
    if (convert) {
      bool lossy = false;
      if (enc.codePage == 65001) {
        BytesToCodePage(65001, acp, data, false, text, &lossy);
      } else {
        // Another code page's trail bytes may look like ASCII: the whole text goes to UTF-16.
        std::u16string wide;
        platform::MultiByteToWide(enc.codePage, data, &wide, &lossy);
        WideToCodePage(acp, wide, text, &lossy);
      }
      report->Add("converted_to").Text("encoding", AnsiName());
      if (lossy) report->Add("conversion_loss").Text("encoding", AnsiName());
    } else if (!withoutNulls.empty() || nulls) {
      *text = std::move(withoutNulls);
    } else if (owner && owner->data() + owner->size() == data.data() + data.size()) {
      const size_t mark = owner->size() - data.size();
      *text = std::move(*owner);
      text->erase(0, mark);
    } else {
      text->assign(data);
    }
    report->Add("read")
        .Text("encoding", known ? enc.name : AnsiName())
        .Number("length", static_cast<int64_t>(fileLength));
    return;
  }

  // UTF-16: an odd last byte is half a character.
  if (bytes.size() % 2) {
    report->Add("truncation_error").Number("length", static_cast<int64_t>(fileLength));
    bytes.remove_suffix(1);
  }
  std::u16string wide;
  wide.reserve(bytes.size() / 2);
  size_t nulls = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    unsigned char a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    char16_t u = form == kLe ? static_cast<char16_t>(a | (b << 8)) : static_cast<char16_t>((a << 8) | b);
    if (u == 0) { ++nulls; continue; }
    wide.push_back(u);
  }
  if (nulls) report->Add("nulls_removed").Number("count", static_cast<int64_t>(nulls));
  if (form == kBe) report->Add("endian_swap");
  ToAnsiFromWide(wide, text, report);
  report->Add("read").Text("encoding", enc.name).Number("length", static_cast<int64_t>(fileLength));
}

bool CXmlFileCodec::Read(const std::string &fileName, std::string *text, uint32_t *fileFlags,
                         CXmlReport *report) {
  std::string bytes, error;
  if (!platform::ReadWholeFile(fileName, &bytes, &error)) {
    report->Add("file_error").Text("msg", error);
    return false;
  }
  Decode(bytes, text, fileFlags, report, &bytes);
  return true;
}

std::string CXmlFileCodec::Encode(std::string_view text, uint32_t fileFlags, CXmlReport *report,
                                  std::string *encodingName, bool *lost) {
  Encoding out;
  int form = 0; // 0 8-bit, 1 UTF-16LE, 2 UTF-16BE
  if (fileFlags & kUtf16Le) { out = {"UTF-16LE", 1200}; form = 1; }
  else if (fileFlags & kUtf16Be) { out = {"UTF-16BE", 1201}; form = 2; }
  else if (fileFlags & kUtf8Bom) out = Resolve("UTF-8"); // the mark wins over any declaration
  else {
    auto declared = DeclaredEncoding(text);
    out = Resolve(declared ? *declared : "UTF-8");
    if (out.codePage == 1200) form = 1;
    if (out.codePage == 1201) form = 2;
  }
  *encodingName = out.name;
  const int acp = platform::AnsiCodePage();
  std::string bytes;
  if (form != 0) {
    std::u16string wide;
    bool lossy = false;
    platform::MultiByteToWide(acp, text, &wide, &lossy);
    report->Add("converted_from").Text("encoding", AnsiName());
    if (lossy) report->Add("conversion_loss").Text("encoding", out.name);
    if (lost) *lost = lossy;
    // A UTF-16 file always carries its mark; readers cannot tell the byte order otherwise.
    bytes.reserve(wide.size() * 2 + 2);
    bytes += form == 1 ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t u : wide) {
      char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
      if (form == 1) { bytes += lo; bytes += hi; }
      else { bytes += hi; bytes += lo; }
    }
    if (form == 2) report->Add("endian_swap");
    return bytes;
  }
  if (fileFlags & kUtf8Bom) bytes = "\xEF\xBB\xBF";
  if (out.codePage != 0 && out.codePage != acp && !Convertible(out.codePage)) {
    // Read unconverted (above), so written back unconverted: the file keeps its bytes.
    report->Add("conversion_error").Text("encoding", out.name);
    bytes.append(text);
  } else if (out.codePage != 0 && out.codePage != acp) {
    bool lossy = false;
    std::string converted;
    BytesToCodePage(acp, out.codePage, text, true, &converted, &lossy);
    report->Add("converted_from").Text("encoding", AnsiName());
    if (lossy) report->Add("conversion_loss").Text("encoding", out.name);
    if (lost) *lost = lossy;
    bytes += converted;
  } else {
    bytes.append(text);
  }
  return bytes;
}

bool CXmlFileCodec::Write(const std::string &fileName, std::string_view text, uint32_t fileFlags,
                          CXmlReport *report, bool refuseLoss) {
  std::string encoding;
  bool lost = false;
  std::string bytes = Encode(text, fileFlags, report, &encoding, &lost);
  if (refuseLoss && lost) return false;
  std::string error;
  if (!platform::ReplaceFileAtomically(fileName, bytes, &error)) {
    report->Add("file_error").Text("msg", error);
    return false;
  }
  report->Add("write").Text("encoding", encoding).Number("length", static_cast<int64_t>(bytes.size()));
  return true;
}

} // namespace qrx
