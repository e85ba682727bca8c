// The XML document's scanner: a single pass that records element positions in a flat table.
#include "xml/xml_document.h"

#include "xml/xml_entity_table.h"
#include "xml/xml_file_codec.h"
#include "xml/xml_scan.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace qrx {

using namespace xml_scan;

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

} // namespace qrx
