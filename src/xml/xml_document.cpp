// The XML document: loading and saving, cursor navigation over the element table and
// decoding on read. The scanner is in xml_document_parse.cpp, the edits in
// xml_document_edit.cpp.
#include "xml/xml_document.h"

#include "xml/xml_entity_table.h"
#include "xml/xml_file_codec.h"
#include "xml/xml_scan.h"

#include <string>

namespace qrx {

using namespace xml_scan;

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

} // namespace qrx
