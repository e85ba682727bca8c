// The XML document's edits in place of the text.
#include "xml/xml_document.h"

#include "xml/xml_entity_table.h"
#include "xml/xml_file_codec.h"
#include "xml/xml_scan.h"

#include <string>

namespace qrx {

using namespace xml_scan;

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

// The first child's previous sibling is the last child.
int32_t CXmlDocument::LastChildOf(int32_t parent) const {
  const int32_t first = table_[parent].firstChild;
  return first ? table_[first].prevSibling : 0;
}

bool CXmlDocument::AppendElement(const char *name, const char *text, int flags) {
  int32_t index = InsertElement(parent_, main_ ? main_ : LastChildOf(parent_), name, text, flags);
  if (!index) return false;
  main_ = index;
  child_ = 0;
  nodeType_ = kNodeElement;
  return true;
}

bool CXmlDocument::AppendChild(const char *name, const char *text, int flags) {
  if (main_ == 0 || nodeType_ != kNodeElement) return false;
  int32_t index = InsertElement(main_, child_ ? child_ : LastChildOf(main_), name, text, flags);
  if (!index) return false;
  child_ = index;
  return true;
}

} // namespace qrx
