// The XML document: a single-pass scanner that records element positions in a flat table,
// cursor navigation over that table, decoding on read and in-place edits of the text.
#include "xml/xml_document.h"

#include "platform/code_page.h"
#include "xml/xml_entity_table.h"
#include "xml/xml_file_codec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_map>
#include <vector>

namespace qrx {
namespace {

// Offsets are 32-bit: larger texts are refused rather than indexed wrongly.
constexpr size_t kMaxText = static_cast<size_t>(std::numeric_limits<int32_t>::max()) - 64;

enum : uint8_t {
  kSpace = 0x01,    // blank, tab, CR, LF
  kNameEnd = 0x02,  // ends an element name
  kAttrEnd = 0x04,  // ends an attribute name
  kNameStart = 0x08 // may begin an element name
};

constexpr std::array<uint8_t, 256> MakeClasses() {
  std::array<uint8_t, 256> t{};
  for (unsigned char c : {' ', '\t', '\r', '\n'}) t[c] |= kSpace | kNameEnd | kAttrEnd;
  for (unsigned char c : {'/', '>', '<', '='}) t[c] |= kNameEnd | kAttrEnd;
  for (unsigned char c : {'"', '\''}) t[c] |= kNameEnd | kAttrEnd;
  t[0] |= kNameEnd | kAttrEnd;
  for (int c = 'a'; c <= 'z'; ++c) t[c] |= kNameStart;
  for (int c = 'A'; c <= 'Z'; ++c) t[c] |= kNameStart;
  t['_'] |= kNameStart;
  t[':'] |= kNameStart;
  for (int c = 0x80; c < 0x100; ++c) t[c] |= kNameStart;
  return t;
}
constexpr std::array<uint8_t, 256> kClass = MakeClasses();

inline bool Is(char c, uint8_t cls) { return (kClass[static_cast<unsigned char>(c)] & cls) != 0; }

// Byte length of the ANSI code page's character for each lead byte. The structural
// characters of XML (< > & ; = / quotes, blanks) are below 0x40 and are never trail bytes of
// GBK, Shift_JIS, Big5 or UTF-8, so names, attributes and text are scanned byte by byte (a
// stray lead byte then cannot swallow a ">"); only the "]]>" and "]" searches, where the
// trail byte may be a "]", and case folding step over whole characters.
struct LeadLengths {
  std::array<uint8_t, 256> len{};
  LeadLengths() {
    for (int c = 0; c < 256; ++c)
      len[c] = static_cast<uint8_t>(platform::AnsiCharLength(static_cast<unsigned char>(c)));
  }
};
const LeadLengths &Leads() {
  static const LeadLengths leads;
  return leads;
}

// Position of the first byte c in s[from, n), or n. Values and the text between tags are
// mostly a few bytes long: they are searched in line, eight bytes at a time (a byte equal to c
// shows as a zero byte of word ^ pattern), longer ones by memchr.
inline int32_t FindByte(const char *s, int32_t from, int32_t n, char c) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  const uint64_t pattern = kOnes * static_cast<unsigned char>(c);
  const int32_t inlineEnd = std::min(n, from + 64);
  int32_t i = from;
  for (; i + 8 <= inlineEnd; i += 8) {
    uint64_t word;
    std::memcpy(&word, s + i, 8);
    const uint64_t x = word ^ pattern;
    const uint64_t zero = (x - kOnes) & ~x & kHighs;
    if (zero) {
      if constexpr (std::endian::native == std::endian::little)
        return i + std::countr_zero(zero) / 8;
      else
        return i + std::countl_zero(zero) / 8;
    }
  }
  for (; i < inlineEnd; ++i)
    if (s[i] == c) return i;
  if (inlineEnd == n) return n;
  const void *q = std::memchr(s + inlineEnd, c, static_cast<size_t>(n - inlineEnd));
  return q ? static_cast<int32_t>(static_cast<const char *>(q) - s) : n;
}

inline char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Compares names byte for byte or, when ignoring case, folding ASCII letters but never the
// trail bytes of multi-byte characters.
bool EqualNamesIgnoringCase(std::string_view a, std::string_view b);

inline bool EqualNames(std::string_view a, std::string_view b, bool ignoreCase) {
  if (a.size() != b.size()) return false;
  if (!ignoreCase) {
    for (size_t i = 0; i < a.size(); ++i)
      if (a[i] != b[i]) return false;
    return true;
  }
  return EqualNamesIgnoringCase(a, b);
}

bool EqualNamesIgnoringCase(std::string_view a, std::string_view b) {
  const auto &lead = Leads().len;
  for (size_t i = 0; i < a.size();) {
    int n = lead[static_cast<unsigned char>(a[i])];
    if (n > 1) {
      if (a.compare(i, n, b, i, n) != 0) return false;
      i += n;
    } else {
      if (Lower(a[i]) != Lower(b[i])) return false;
      ++i;
    }
  }
  return true;
}

struct NameHash {
  bool ignoreCase;
  size_t operator()(std::string_view s) const {
    uint64_t h = 1469598103934665603ull;
    for (char c : s) h = (h ^ static_cast<unsigned char>(ignoreCase ? Lower(c) : c)) * 1099511628211ull;
    return static_cast<size_t>(h);
  }
};
struct NameEq {
  bool ignoreCase;
  bool operator()(std::string_view a, std::string_view b) const { return EqualNames(a, b, ignoreCase); }
};

// Finds "]]>" from `from`, stepping over whole multi-byte characters; npos when absent.
size_t FindCdataEnd(std::string_view s, size_t from) {
  const auto &lead = Leads().len;
  for (size_t i = from; i + 2 < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == ']' && s[i + 1] == ']' && s[i + 2] == '>') return i;
    i += lead[c];
  }
  return std::string_view::npos;
}

// True when the text ends in the middle of a multi-byte character: written into markup, its
// missing trail byte would swallow the next structural character.
bool EndsInsideCharacter(std::string_view s) {
  const auto &lead = Leads().len;
  size_t i = 0;
  while (i < s.size()) i += lead[static_cast<unsigned char>(s[i])];
  return i > s.size();
}

bool ValidName(const char *name) {
  if (!name || !Is(name[0], kNameStart)) return false;
  for (const char *p = name; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (Is(*p, kNameEnd) || c < 0x20 || c == '&' || c == 0x7F) return false;
  }
  return !EndsInsideCharacter(name);
}

// True when s[at] is an "&" that begins a character reference: a name, or "#" and decimal
// digits, or "#x" and hexadecimal digits, followed by ";".
bool IsReferenceAt(std::string_view s, size_t at) {
  size_t i = at + 1;
  if (i >= s.size()) return false;
  size_t begin;
  if (s[i] == '#') {
    ++i;
    bool hex = i < s.size() && s[i] == 'x';
    if (hex) ++i;
    begin = i;
    while (i < s.size() && (hex ? std::isxdigit(static_cast<unsigned char>(s[i]))
                                : std::isdigit(static_cast<unsigned char>(s[i]))))
      ++i;
  } else {
    begin = i;
    while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_' ||
                            s[i] == '.' || s[i] == '-' || s[i] == ':'))
      ++i;
    if (begin < s.size() && std::isdigit(static_cast<unsigned char>(s[begin]))) return false;
  }
  return i > begin && i < s.size() && s[i] == ';';
}

} // namespace

CXmlDocument::CXmlDocument() { table_.Reset(0); }
CXmlDocument::~CXmlDocument() = default;

const std::string &CXmlDocument::GetDocument() const { return text_; }
const std::string &CXmlDocument::GetReport() const { return report_.Text(); }
uint32_t CXmlDocument::GetDocumentFlags() const { return flags_; }
void CXmlDocument::SetDocumentFlags(uint32_t flags) { flags_ = flags; }

void CXmlDocument::Clear() {
  text_.clear();
  table_.Reset(0);
  structureError_ = false;
  released_ = 0;
  Rewind();
}

bool CXmlDocument::SetDocument(const char *text) {
  if (flags_ & (kReadStream | kWriteStream)) return false;
  report_.Clear();
  if (text) {
    size_t n = std::strlen(text);
    if (n > kMaxText) {
      Clear();
      report_.Add("truncation_error").Number("length", static_cast<int64_t>(n));
      return false;
    }
    text_.assign(text, n);
  } else {
    text_.clear();
  }
  Parse();
  return WellFormed();
}

bool CXmlDocument::LoadFile(const std::string &fileName) {
  report_.Clear();
  std::string text;
  uint32_t fileFlags = 0;
  if (!CXmlFileCodec::Read(fileName, &text, &fileFlags, &report_)) {
    Clear();
    return false;
  }
  flags_ = (flags_ & ~(kFileUtf16Le | kFileUtf8Bom | kFileUtf16Be)) | fileFlags;
  if (text.size() > kMaxText) {
    Clear();
    report_.Add("truncation_error").Number("length", static_cast<int64_t>(text.size()));
    return false;
  }
  text_ = std::move(text);
  Parse();
  return WellFormed();
}

bool CXmlDocument::SaveFile(const std::string &fileName, bool refuseLoss) {
  report_.Clear();
  return CXmlFileCodec::Write(fileName, text_, flags_, &report_, refuseLoss);
}

bool CXmlDocument::WellFormed() const {
  if (flags_ & kWriteStream) return true;
  int32_t root = table_[0].firstChild;
  return root != 0 && table_[root].nextSibling == 0 && !structureError_;
}

// ---------------------------------------------------------------------------------------
// Parsing. One pass over the text; open elements are kept on an explicit stack, never on
// the call stack, so nesting depth costs only memory proportional to the input.

void CXmlDocument::Parse() {
  Rewind();
  structureError_ = false;
  released_ = 0;
  table_.Reset(text_.size());
  // The string's terminating zero ends every name and blank run below, so those loops need
  // no bounds check of their own.
  const char *s = text_.data();
  const int32_t n = static_cast<int32_t>(text_.size());
  const std::string_view view(text_);
  table_[0].length = n;
  const auto &lead = Leads().len;
  const bool ignoreCase = IgnoreCase();

  struct Open {
    int32_t index;
    int32_t nameStart;
    int32_t nameLength;
  };
  std::vector<Open> open;
  // How many open elements carry each name. Built only when an end tag does not match the
  // innermost element, so that a lone end tag is found without walking the whole stack and
  // well-formed documents never pay for it.
  using Counts = std::unordered_map<std::string_view, int32_t, NameHash, NameEq>;
  std::unique_ptr<Counts> counts;
  bool sawSibling = false;

  auto syntax = [&](const char *entry, int32_t at) {
    structureError_ = true;
    report_.Add(entry).Number("offset", at);
  };
  auto unterminated = [&](const char *type, int32_t at) {
    structureError_ = true;
    report_.Add("unterminated_tag_syntax").Text("type", type).Number("offset", at);
  };
  auto nameAt = [&](const Open &o) { return view.substr(o.nameStart, o.nameLength); };
  auto pop = [&]() {
    if (counts) {
      auto it = counts->find(nameAt(open.back()));
      if (it != counts->end() && --it->second == 0) counts->erase(it);
    }
    open.pop_back();
  };
  // An element whose end tag never comes ends where its parent's content ends.
  auto closeUnended = [&](int32_t endAt) {
    const Open &o = open.back();
    XmlElementRecord &r = table_[o.index];
    r.length = endAt - r.start;
    r.endTagLength = 0;
    r.flagsLevel |= XmlElementRecord::kStructureError | XmlElementRecord::kUnended;
    structureError_ = true;
    report_.Add("unended_start_tag").Text("tagname", nameAt(o)).Number("offset", r.start);
    pop();
  };

  int32_t pos = 0;
  while (pos < n) {
    if (s[pos] != '<') { // markup often follows markup directly
      pos = FindByte(s, pos, n, '<');
      if (pos == n) break;
    }
    if (pos + 1 >= n) {
      syntax("first_tag_syntax", pos);
      break;
    }
    const char c = s[pos + 1];
    if (Is(c, kNameStart)) {
      // Start tag or empty-element tag.
      int32_t p = pos + 1;
      while (!Is(s[p], kNameEnd)) ++p;
      const int32_t nameStart = pos + 1, nameLength = p - nameStart;
      bool empty = false, done = false, broken = false;
      // An attribute needs "=" and a value; one without is reported (and would otherwise be
      // read as empty and rewritten around its stray "=").
      bool afterName = false;
      auto noValue = [&](int32_t at) {
        structureError_ = true;
        report_.Add("attribute_syntax").Text("tagname", view.substr(nameStart, nameLength))
            .Number("offset", at);
      };
      while (p < n) {
        char d = s[p];
        if (Is(d, kSpace)) {
          ++p;
          continue;
        }
        const bool named = afterName;
        afterName = false;
        if (named && d != '=' && d != '<') noValue(p);
        if (d == '>') {
          ++p;
          done = true;
          break;
        } else if (d == '/') {
          if (p + 1 < n && s[p + 1] == '>') {
            p += 2;
            empty = done = true;
            break;
          }
          ++p;
        } else if (d == '<') {
          broken = true;
          break;
        } else if (d == '"' || d == '\'') {
          noValue(p); // a value without a name
          p = FindByte(s, p + 1, n, d);
          if (p == n) break;
          ++p;
        } else if (d == '=') {
          if (!named) noValue(p);
          ++p;
          while (Is(s[p], kSpace)) ++p;
          if (p >= n || s[p] == '>' || s[p] == '<' || (s[p] == '/' && p + 1 < n && s[p + 1] == '>')) {
            noValue(p);
          } else if (s[p] == '"' || s[p] == '\'') {
            p = FindByte(s, p + 1, n, s[p]);
            if (p == n) break;
            ++p;
          } else {
            while (p < n && !Is(s[p], kSpace) && s[p] != '>' && s[p] != '<' &&
                   !(s[p] == '/' && p + 1 < n && s[p + 1] == '>'))
              ++p;
          }
        } else {
          const int32_t from = p;
          while (!Is(s[p], kAttrEnd)) ++p;
          if (p == from) ++p; // a NUL: step over it
          else afterName = true;
        }
      }
      if (!done) {
        unterminated("start_tag", pos);
        if (broken) {
          pos = p; // resume at the "<" that cut the tag short
          continue;
        }
        break;
      }
      const int32_t index = table_.Allocate();
      if (index < 0) {
        report_.Add("truncation_error").Number("offset", pos);
        structureError_ = true;
        break;
      }
      const int32_t parent = open.empty() ? 0 : open.back().index;
      XmlElementRecord &r = table_[index];
      r.start = pos;
      r.startTagLength = p - pos;
      r.length = empty ? r.startTagLength : 0;
      r.parent = parent;
      r.flagsLevel = static_cast<uint32_t>(
          std::min<size_t>(open.size() + 1, XmlElementRecord::kLevelMask));
      XmlElementRecord &par = table_[parent];
      if (par.firstChild == 0) {
        par.firstChild = index;
        r.prevSibling = index;
      } else {
        XmlElementRecord &first = table_[par.firstChild];
        int32_t last = first.prevSibling;
        table_[last].nextSibling = index;
        r.prevSibling = last;
        first.prevSibling = index;
        if (parent == 0 && !sawSibling) {
          sawSibling = true;
          report_.Add("root_has_sibling").Text("tagname", view.substr(nameStart, nameLength))
              .Number("offset", pos);
        }
      }
      if (!empty) {
        open.push_back({index, nameStart, nameLength});
        if (counts) ++(*counts)[view.substr(nameStart, nameLength)];
      }
      pos = p;
    } else if (c == '/') {
      // End tag. Nearly always it closes the innermost element: its name is compared in
      // place first, and only scanned when that fails.
      int32_t p = pos + 2;
      bool innermost = false;
      if (!open.empty() && !ignoreCase) {
        const Open &o = open.back();
        innermost = p + o.nameLength < n && Is(s[p + o.nameLength], kNameEnd) &&
                    std::memcmp(s + p, s + o.nameStart, static_cast<size_t>(o.nameLength)) == 0;
        if (innermost) p += o.nameLength;
      }
      if (!innermost)
        while (!Is(s[p], kNameEnd)) ++p;
      const std::string_view name = view.substr(pos + 2, p - pos - 2);
      while (Is(s[p], kSpace)) ++p;
      // Only blanks may follow the name; anything else is reported and passed over.
      if (p < n && s[p] != '>' && s[p] != '<' && !name.empty()) {
        structureError_ = true;
        report_.Add("end_tag_syntax").Text("tagname", name).Number("offset", p);
      }
      while (p < n && s[p] != '>' && s[p] != '<') ++p;
      if (p >= n) {
        unterminated("end_tag", pos);
        break;
      }
      if (s[p] == '<' || name.empty()) {
        if (name.empty()) syntax("first_tag_syntax", pos);
        else unterminated("end_tag", pos);
        pos = s[p] == '<' ? p : pos + 1;
        continue;
      }
      const int32_t end = p + 1;
      bool matches = innermost || (!open.empty() && EqualNames(nameAt(open.back()), name, ignoreCase));
      if (!matches) {
        if (!counts) {
          counts = std::make_unique<Counts>(16, NameHash{ignoreCase}, NameEq{ignoreCase});
          for (const Open &o : open) ++(*counts)[nameAt(o)];
        }
        if (counts->find(name) == counts->end()) {
          structureError_ = true;
          report_.Add("lone_end_tag").Text("tagname", name).Number("offset", pos);
          pos = end;
          continue;
        }
        while (!EqualNames(nameAt(open.back()), name, ignoreCase)) closeUnended(pos);
      }
      XmlElementRecord &r = table_[open.back().index];
      r.length = end - r.start;
      r.endTagLength = end - pos;
      pop();
      pos = end;
    } else if (c == '!') {
      if (view.compare(pos, 4, "<!--") == 0) {
        size_t e = view.find("-->", pos + 4);
        if (e == std::string_view::npos) { unterminated("comment", pos); break; }
        pos = static_cast<int32_t>(e) + 3;
      } else if (view.compare(pos, 9, "<![CDATA[") == 0) {
        size_t e = FindCdataEnd(view, pos + 9);
        if (e == std::string_view::npos) { unterminated("cdata_section", pos); break; }
        pos = static_cast<int32_t>(e) + 3;
      } else if (view.compare(pos, 9, "<!DOCTYPE") == 0) {
        // Quoted literals and the internal subset in brackets may hold ">"; comments and
        // processing instructions of the subset may hold anything, a lone quote or "]" too.
        int32_t p = pos + 9, depth = 0;
        bool done = false;
        while (p < n) {
          unsigned char d = static_cast<unsigned char>(s[p]);
          if (d == '<' && depth > 0 && p + 1 < n && (s[p + 1] == '?' || view.compare(p, 4, "<!--") == 0)) {
            const bool comment = s[p + 1] == '!';
            size_t e = view.find(comment ? "-->" : "?>", p + (comment ? 4 : 2));
            if (e == std::string_view::npos) break;
            p = static_cast<int32_t>(e) + (comment ? 3 : 2);
            continue;
          }
          if (d == '"' || d == '\'') {
            const void *q = std::memchr(s + p + 1, d, static_cast<size_t>(n - p - 1));
            if (!q) break;
            p = static_cast<int32_t>(static_cast<const char *>(q) - s) + 1;
            continue;
          }
          if (d == '[') ++depth;
          else if (d == ']') depth = depth > 0 ? depth - 1 : 0;
          else if (d == '>' && depth == 0) { done = true; ++p; break; }
          p += lead[d];
        }
        if (!done) { unterminated("document_type", pos); break; }
        pos = p;
      } else {
        if (pos + 2 < n && s[pos + 2] == '-') syntax("comment_tag_syntax", pos);
        else if (pos + 2 < n && s[pos + 2] == '[') syntax("cdata_section_syntax", pos);
        else if (pos + 2 < n && (s[pos + 2] == 'D' || s[pos + 2] == 'd')) syntax("doctype_tag_syntax", pos);
        else syntax("exclamation_tag_syntax", pos);
        pos += 2;
      }
    } else if (c == '?') {
      size_t e = view.find("?>", pos + 2);
      if (e == std::string_view::npos) { unterminated("processing_instruction", pos); break; }
      pos = static_cast<int32_t>(e) + 2;
    } else {
      syntax("first_tag_syntax", pos);
      pos += 1;
    }
  }
  while (!open.empty()) closeUnended(n);
  if (table_[0].firstChild == 0) report_.Add("no_root_element");
  Rewind();
}

// ---------------------------------------------------------------------------------------
// Navigation

void CXmlDocument::Rewind() {
  parent_ = main_ = child_ = 0;
  nodeType_ = kNodeNone;
  nodeOffset_ = nodeLength_ = 0;
}

std::string_view CXmlDocument::NameOf(int32_t element) const {
  if (element <= 0) return {};
  const XmlElementRecord &r = table_[element];
  const char *s = text_.data();
  int32_t end = r.start + r.startTagLength, p = r.start + 1;
  while (p < end && !Is(s[p], kNameEnd)) ++p;
  return std::string_view(s + r.start + 1, static_cast<size_t>(p - r.start - 1));
}

bool CXmlDocument::NamesEqual(std::string_view a, std::string_view b) const {
  return EqualNames(a, b, IgnoreCase());
}

int32_t CXmlDocument::FindSibling(int32_t parent, int32_t after, const char *name) const {
  int32_t i = after ? table_[after].nextSibling : table_[parent].firstChild;
  if (!name) return i;
  std::string_view want(name);
  if (IgnoreCase()) {
    for (; i != 0; i = table_[i].nextSibling)
      if (NamesEqual(NameOf(i), want)) return i;
    return 0;
  }
  // Sections with thousands of keys are searched often: compare in place instead of
  // measuring each name first.
  const char *s = text_.data();
  const size_t length = want.size();
  for (; i != 0; i = table_[i].nextSibling) {
    const XmlElementRecord &r = table_[i];
    if (static_cast<size_t>(r.startTagLength) >= length + 2 &&
        std::memcmp(s + r.start + 1, want.data(), length) == 0 &&
        Is(s[r.start + 1 + length], kNameEnd))
      return i;
  }
  return 0;
}

bool CXmlDocument::FindNext(const char *name) {
  int32_t found = FindSibling(parent_, main_, name);
  if (!found) return false;
  main_ = found;
  child_ = 0;
  nodeType_ = kNodeElement;
  return true;
}

bool CXmlDocument::FindNextChild(const char *name) {
  if (main_ == 0 && !FindNext(nullptr)) return false;
  int32_t found = FindSibling(main_, child_, name);
  if (!found) return false;
  child_ = found;
  return true;
}

bool CXmlDocument::Enter() {
  if (main_ == 0 || nodeType_ != kNodeElement) return false;
  parent_ = main_;
  main_ = child_;
  child_ = 0;
  nodeType_ = main_ ? kNodeElement : kNodeNone;
  return true;
}

std::string CXmlDocument::GetElementName() const {
  switch (nodeType_) {
  case kNodeElement: return std::string(NameOf(main_));
  case kNodeText: return "#text";
  case kNodeCdata: return "#cdata-section";
  case kNodeComment: return "#comment";
  default: return "";
  }
}

// ---------------------------------------------------------------------------------------
// Reading

size_t CXmlDocument::DecodeReference(std::string_view in, size_t at, std::string *out) const {
  if (at + 1 >= in.size()) return 0;
  long code = -1;
  size_t semi;
  if (in[at + 1] == '#') {
    // Any number of leading zeros is allowed; the value stops growing once it is past Unicode.
    size_t i = at + 2;
    const bool hex = i < in.size() && in[i] == 'x';
    if (hex) ++i;
    const size_t first = i;
    code = 0;
    for (; i < in.size(); ++i) {
      const char d = in[i];
      int v;
      if (d >= '0' && d <= '9') v = d - '0';
      else if (hex && d >= 'a' && d <= 'f') v = d - 'a' + 10;
      else if (hex && d >= 'A' && d <= 'F') v = d - 'A' + 10;
      else break;
      code = std::min<long>(code * (hex ? 16 : 10) + v, 0x110000);
    }
    if (i == first || i >= in.size() || in[i] != ';') return 0;
    semi = i;
  } else {
    // Names are short; a ";" far away means this "&" is just an ampersand.
    semi = in.find(';', at + 1);
    if (semi == std::string_view::npos || semi - at > 40) return 0;
    std::string_view ref = in.substr(at + 1, semi - at - 1);
    if (ref.empty()) return 0;
    if (ref == "lt") code = '<';
    else if (ref == "gt") code = '>';
    else if (ref == "amp") code = '&';
    else if (ref == "quot") code = '"';
    else if (ref == "apos") code = '\'';
    else code = HtmlEntityCodePoint(ref);
  }
  // Unknown names, NUL, surrogates and values beyond Unicode stay as written.
  if (code <= 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
    return semi - at + 1;
  }
  std::u16string wide;
  if (code >= 0x10000) {
    wide.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
    wide.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
  } else {
    wide.push_back(static_cast<char16_t>(code));
  }
  std::string bytes;
  bool lossy = false;
  // A character the code page cannot hold keeps its reference, so saving loses nothing.
  if (!platform::WideToMultiByte(platform::AnsiCodePage(), wide, &bytes, &lossy) || lossy ||
      bytes.empty())
    return 0;
  out->append(bytes);
  return semi - at + 1;
}

void CXmlDocument::DecodeInto(std::string_view in, std::string *out) const {
  size_t i = 0;
  while (i < in.size()) {
    size_t amp = in.find('&', i);
    if (amp == std::string_view::npos) {
      out->append(in.substr(i));
      return;
    }
    out->append(in.substr(i, amp - i));
    size_t used = DecodeReference(in, amp, out);
    if (used == 0) {
      out->push_back('&');
      i = amp + 1;
    } else {
      i = amp + used;
    }
  }
}

std::string CXmlDocument::TextOf(int32_t element) const {
  if (element <= 0) return {};
  const XmlElementRecord &r = table_[element];
  if (r.IsEmptyTag() || r.firstChild != 0) return {};
  std::string_view content(text_.data() + r.ContentStart(),
                           static_cast<size_t>(r.ContentEnd() - r.ContentStart()));
  std::string out;
  if (content.find_first_of("&<") == std::string_view::npos) return std::string(content);
  out.reserve(content.size());
  size_t i = 0;
  while (i < content.size()) {
    size_t lt = content.find('<', i);
    DecodeInto(content.substr(i, lt == std::string_view::npos ? std::string_view::npos : lt - i), &out);
    if (lt == std::string_view::npos) break;
    std::string_view rest = content.substr(lt);
    if (rest.starts_with("<![CDATA[")) {
      size_t e = FindCdataEnd(content, lt + 9);
      if (e == std::string_view::npos) e = content.size();
      out.append(content.substr(lt + 9, e - lt - 9));
      i = std::min(content.size(), e + 3);
    } else if (rest.starts_with("<!--")) {
      // Comments are notes in the file, not part of the value.
      size_t e = content.find("-->", lt + 4);
      i = e == std::string_view::npos ? content.size() : e + 3;
    } else if (rest.starts_with("<?")) {
      size_t e = content.find("?>", lt + 2);
      i = e == std::string_view::npos ? content.size() : e + 2;
    } else {
      out.push_back('<');
      i = lt + 1;
    }
  }
  return out;
}

std::string CXmlDocument::GetText() const { return TextOf(nodeType_ == kNodeElement ? main_ : 0); }
std::string CXmlDocument::GetChildText() const { return TextOf(child_); }

bool CXmlDocument::FindAttribute(int32_t element, std::string_view name, int32_t *nameStart,
                                 int32_t *valueStart, int32_t *valueEnd) const {
  if (element <= 0 || name.empty()) return false;
  const XmlElementRecord &r = table_[element];
  const char *s = text_.data();
  const int32_t end = r.start + r.startTagLength;
  int32_t p = r.start + 1 + static_cast<int32_t>(NameOf(element).size());
  while (p < end) {
    char d = s[p];
    if (Is(d, kSpace) || d == '/' || d == '>' || d == '=' || d == '"' || d == '\'') {
      if (d == '"' || d == '\'') {
        const void *q = std::memchr(s + p + 1, d, static_cast<size_t>(end - p - 1));
        p = q ? static_cast<int32_t>(static_cast<const char *>(q) - s) + 1 : end;
      } else {
        ++p;
      }
      continue;
    }
    const int32_t ns = p;
    while (p < end && !Is(s[p], kAttrEnd)) ++p;
    if (p == ns) { // a character that ends names without being handled above (NUL)
      ++p;
      continue;
    }
    std::string_view attr(s + ns, static_cast<size_t>(p - ns));
    int32_t afterName = p;
    while (p < end && Is(s[p], kSpace)) ++p;
    int32_t vs = afterName, ve = afterName;
    if (p < end && s[p] == '=') {
      ++p;
      while (p < end && Is(s[p], kSpace)) ++p;
      vs = p;
      if (p < end && (s[p] == '"' || s[p] == '\'')) {
        const void *q = std::memchr(s + p + 1, s[p], static_cast<size_t>(end - p - 1));
        ve = q ? static_cast<int32_t>(static_cast<const char *>(q) - s) + 1 : end;
      } else {
        ve = p;
        while (ve < end && !Is(s[ve], kSpace) && s[ve] != '>' &&
               !(s[ve] == '/' && ve + 1 < end && s[ve + 1] == '>'))
          ++ve;
      }
      p = ve;
    } else {
      p = afterName;
    }
    if (NamesEqual(attr, name)) {
      *nameStart = ns;
      *valueStart = vs;
      *valueEnd = ve;
      return true;
    }
  }
  return false;
}

std::string CXmlDocument::AttrOf(int32_t element, const char *name) const {
  int32_t ns, vs, ve;
  if (!name || !FindAttribute(element, name, &ns, &vs, &ve)) return {};
  std::string_view value(text_.data() + vs, static_cast<size_t>(ve - vs));
  if (!value.empty() && (value[0] == '"' || value[0] == '\'')) {
    value.remove_prefix(1);
    if (!value.empty() && value.back() == text_[vs]) value.remove_suffix(1);
  }
  std::string out;
  DecodeInto(value, &out);
  return out;
}

std::string CXmlDocument::GetAttr(const char *name) const {
  return AttrOf(nodeType_ == kNodeElement ? main_ : 0, name);
}
std::string CXmlDocument::GetChildAttr(const char *name) const { return AttrOf(child_, name); }

// ---------------------------------------------------------------------------------------
// Editing. Every edit replaces one span of the text; records that start after the span move
// by the change in length, and the element holding the span grows or shrinks together with
// all its ancestors, so the table always describes the text exactly.

std::string CXmlDocument::Encode(std::string_view text, int flags, bool attribute) const {
  std::string out;
  // A CDATA section cannot end in half a character (its trail byte would be the "]" of
  // "]]>"), so such text is escaped instead; it reads back the same.
  if (!attribute && (flags & kWriteCdata) && !EndsInsideCharacter(text)) {
    out = "<![CDATA[";
    size_t i = 0;
    for (;;) {
      size_t e = FindCdataEnd(text, i);
      if (e == std::string_view::npos) break;
      out.append(text.substr(i, e - i)).append("]]]]><![CDATA[>");
      i = e + 3;
    }
    out.append(text.substr(i)).append("]]>");
    // A CR inside a section would be read as a line feed by other readers: it is written as a
    // reference between two sections.
    for (size_t cr = out.find('\r'); cr != std::string::npos; cr = out.find('\r', cr + 1)) {
      out.replace(cr, 1, "]]>&#13;<![CDATA[");
      cr += 15;
    }
    return out;
  }
  out.reserve(text.size() + 16);
  const bool quotes = attribute || (flags & kEscapeQuotes);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    switch (c) {
    case '&':
      if ((flags & kKeepReferences) && IsReferenceAt(text, i)) out += '&';
      else out += "&amp;";
      break;
    case '<': out += "&lt;"; break;
    case '>': out += "&gt;"; break;
    case '"': out += quotes ? "&quot;" : "\""; break;
    case '\'': out += quotes ? "&apos;" : "'"; break;
    // Readers normalise white space in attribute values to blanks and CR LF in text to LF;
    // references keep the characters as they were given.
    case '\t': out += attribute ? "&#9;" : "\t"; break;
    case '\n': out += attribute ? "&#10;" : "\n"; break;
    case '\r': out += "&#13;"; break;
    default: out += c;
    }
  }
  return out;
}

bool CXmlDocument::Replace(int32_t pos, int32_t oldLength, std::string_view replacement,
                           int32_t container) {
  const int64_t delta = static_cast<int64_t>(replacement.size()) - oldLength;
  if (static_cast<int64_t>(text_.size()) + delta > static_cast<int64_t>(kMaxText)) return false;
  text_.replace(static_cast<size_t>(pos), static_cast<size_t>(oldLength), replacement);
  const int32_t d = static_cast<int32_t>(delta);
  if (d != 0) {
    const int32_t after = pos + oldLength;
    const int32_t used = table_.NextFree();
    for (int32_t i = 1; i < used; ++i) {
      XmlElementRecord &r = table_[i];
      if (r.start >= after) r.start += d;
    }
    for (int32_t a = container; a > 0; a = table_[a].parent) table_[a].length += d;
  }
  table_[0].length = static_cast<int32_t>(text_.size());
  return true;
}

std::string CXmlDocument::StartTagOfEmptyTag(int32_t element) const {
  const XmlElementRecord &r = table_[element];
  int32_t q = r.start + r.startTagLength - 2; // the "/" of "/>"
  const int32_t nameEnd = r.start + 1 + static_cast<int32_t>(NameOf(element).size());
  while (q > nameEnd && Is(text_[q - 1], kSpace)) --q;
  std::string tag = text_.substr(r.start, q - r.start);
  // A stray "/" or a bare "=" right before the ">" would make it "/>" again or swallow it.
  if (q > nameEnd && text_[q - 1] == '/') tag += ' ';
  if (q > nameEnd && text_[q - 1] == '=') tag += "\"\"";
  return tag + ">";
}

bool CXmlDocument::SetTextOf(int32_t element, const char *text, int flags) {
  if (element <= 0) return false;
  const XmlElementRecord r = table_[element];
  if (r.firstChild != 0) return false;
  const std::string content = Encode(text ? text : "", flags, false);
  if (r.IsUnended()) {
    // The element ran to its parent's end; the new content gets the end tag it lacked.
    const std::string endTag = "</" + std::string(NameOf(element)) + ">";
    if (!Replace(r.ContentStart(), r.ContentEnd() - r.ContentStart(), content + endTag, element))
      return false;
    XmlElementRecord &w = table_[element];
    w.endTagLength = static_cast<int32_t>(endTag.size());
    w.flagsLevel &= ~XmlElementRecord::kUnended;
    return true;
  }
  if (!r.IsEmptyTag()) return Replace(r.ContentStart(), r.ContentEnd() - r.ContentStart(), content, element);
  // An empty-element tag becomes a start tag, the content and an end tag.
  const std::string name(NameOf(element));
  const std::string startTag = StartTagOfEmptyTag(element);
  std::string element_text = startTag + content + "</" + name + ">";
  if (!Replace(r.start, r.length, element_text, element)) return false;
  XmlElementRecord &w = table_[element];
  w.startTagLength = static_cast<int32_t>(startTag.size());
  w.endTagLength = static_cast<int32_t>(name.size()) + 3;
  return true;
}

bool CXmlDocument::SetText(const char *text, int flags) {
  return SetTextOf(nodeType_ == kNodeElement ? main_ : 0, text, flags);
}
bool CXmlDocument::SetChildText(const char *text, int flags) { return SetTextOf(child_, text, flags); }

bool CXmlDocument::SetAttrOf(int32_t element, const char *name, const char *value, int flags) {
  if (element <= 0 || !ValidName(name)) return false;
  std::string quoted = Encode(value ? value : "", flags, true);
  quoted.insert(quoted.begin(), '"');
  quoted.push_back('"');
  int32_t ns, vs, ve;
  int32_t pos, oldLength;
  std::string replacement;
  if (FindAttribute(element, name, &ns, &vs, &ve)) {
    if (vs == ve) {
      // Written without a value ("b", "b=" or "b= "): everything after the name is rewritten.
      pos = ns + static_cast<int32_t>(std::strlen(name));
      replacement = "=" + quoted;
    } else {
      pos = vs;
      replacement = quoted;
    }
    oldLength = ve - pos;
  } else {
    const XmlElementRecord &r = table_[element];
    int32_t q = r.start + r.startTagLength - (r.IsEmptyTag() ? 2 : 1);
    const int32_t nameEnd = r.start + 1 + static_cast<int32_t>(NameOf(element).size());
    while (q > nameEnd && Is(text_[q - 1], kSpace)) --q;
    // After a bare "=" the new attribute would be read as that attribute's value.
    replacement = text_[q - 1] == '=' ? "\"\"" : "";
    replacement += std::string(" ") + name + "=" + quoted;
    pos = q;
    oldLength = 0;
  }
  const int32_t before = static_cast<int32_t>(text_.size());
  if (!Replace(pos, oldLength, replacement, element)) return false;
  table_[element].startTagLength += static_cast<int32_t>(text_.size()) - before;
  return true;
}

bool CXmlDocument::SetAttr(const char *name, const char *value, int flags) {
  return SetAttrOf(nodeType_ == kNodeElement ? main_ : 0, name, value, flags);
}
bool CXmlDocument::SetChildAttr(const char *name, const char *value, int flags) {
  return SetAttrOf(child_, name, value, flags);
}

int32_t CXmlDocument::InsertElement(int32_t parent, int32_t after, const char *name,
                                    const char *text, int flags) {
  if (!ValidName(name)) return 0;
  const std::string_view nameView(name);
  const bool breaks = !(flags & kNoLineBreaks);
  const std::string lineBreak = breaks ? "\r\n" : "";
  std::string element = "<";
  element += nameView;
  int32_t startTagLength, endTagLength;
  if (!text || !*text) {
    element += (flags & kSpacedEmptyTag) ? " />" : "/>";
    startTagLength = static_cast<int32_t>(element.size());
    endTagLength = 0;
  } else {
    element += '>';
    startTagLength = static_cast<int32_t>(element.size());
    element += Encode(text, flags, false);
    element.append("</").append(nameView).append(">");
    endTagLength = static_cast<int32_t>(nameView.size()) + 3;
  }
  if (text_.size() + element.size() + 2 * lineBreak.size() > kMaxText) return 0;
  const int32_t index = table_.Allocate();
  if (index < 0) return 0;
  table_[index].start = -1; // not yet in the text: must not move with the edit
  int32_t elementStart;
  const XmlElementRecord p = table_[parent];
  if (after != 0) {
    int32_t pos = table_[after].start + table_[after].length;
    if (breaks) {
      if (text_.compare(pos, 2, "\r\n") == 0) pos += 2;
      else if (text_.compare(pos, 1, "\n") == 0) pos += 1;
    }
    elementStart = pos;
    Replace(pos, 0, element + lineBreak, parent);
  } else if (parent == 0) {
    int32_t pos = static_cast<int32_t>(text_.size());
    std::string prefix = (breaks && !text_.empty() && text_.back() != '\n') ? "\r\n" : "";
    elementStart = pos + static_cast<int32_t>(prefix.size());
    Replace(pos, 0, prefix + element + lineBreak, parent);
  } else if (p.IsEmptyTag()) {
    // The parent was written as an empty-element tag: rewrite it around its first child.
    const std::string parentName(NameOf(parent));
    const std::string startTag = StartTagOfEmptyTag(parent);
    elementStart = p.start + static_cast<int32_t>(startTag.size() + lineBreak.size());
    Replace(p.start, p.length,
            startTag + lineBreak + element + lineBreak + "</" + parentName + ">", parent);
    XmlElementRecord &w = table_[parent];
    w.startTagLength = static_cast<int32_t>(startTag.size());
    w.endTagLength = static_cast<int32_t>(parentName.size()) + 3;
  } else {
    const int32_t pos = p.ContentEnd();
    std::string prefix = (breaks && text_[pos - 1] != '\n') ? "\r\n" : "";
    elementStart = pos + static_cast<int32_t>(prefix.size());
    Replace(pos, 0, prefix + element + lineBreak, parent);
  }
  XmlElementRecord &r = table_[index];
  r.start = elementStart;
  r.length = static_cast<int32_t>(element.size());
  r.startTagLength = startTagLength;
  r.endTagLength = endTagLength;
  r.parent = parent;
  r.flagsLevel = std::min<uint32_t>((table_[parent].flagsLevel & XmlElementRecord::kLevelMask) + 1,
                                    XmlElementRecord::kLevelMask);
  XmlElementRecord &par = table_[parent];
  if (after == 0) {
    par.firstChild = index;
    r.prevSibling = index;
  } else {
    XmlElementRecord &a = table_[after];
    r.prevSibling = after;
    r.nextSibling = a.nextSibling;
    a.nextSibling = index;
    if (r.nextSibling) table_[r.nextSibling].prevSibling = index;
    else table_[par.firstChild].prevSibling = index;
  }
  return index;
}

bool CXmlDocument::AppendElement(const char *name, const char *text, int flags) {
  int32_t after = main_;
  if (after == 0) {
    int32_t first = table_[parent_].firstChild;
    after = first ? table_[first].prevSibling : 0;
  }
  int32_t index = InsertElement(parent_, after, name, text, flags);
  if (!index) return false;
  main_ = index;
  child_ = 0;
  nodeType_ = kNodeElement;
  return true;
}

bool CXmlDocument::AppendChild(const char *name, const char *text, int flags) {
  if (main_ == 0 || nodeType_ != kNodeElement) return false;
  int32_t after = child_;
  if (after == 0) {
    int32_t first = table_[main_].firstChild;
    after = first ? table_[first].prevSibling : 0;
  }
  int32_t index = InsertElement(main_, after, name, text, flags);
  if (!index) return false;
  child_ = index;
  return true;
}

} // namespace qrx
