// INI value writer following the Windows private-profile rules, replacing the file atomically.
#include "platform/ini_file.h"

#include "platform/code_page.h"
#include "platform/file_system.h"

#include <algorithm>
#include <tuple>
#include <vector>

namespace qrx::platform {
namespace {

// The file's text as code units: bytes of the ANSI code page, or UTF-16 units. Units are
// unsigned so that a comparison with an ASCII character never matches part of a wider one.
template <class Unit> using Text = std::basic_string<Unit>;
template <class Unit> using View = std::basic_string_view<Unit>;

// Length in units of the character starting at s[i], never past the end. A lead byte takes
// the byte after it whatever it is, as the code page's own conversion does, so a GBK trail
// byte is never read as '[', ']', '=' or a line break.
size_t CharLength(View<unsigned char> s, size_t i) {
  size_t n = static_cast<size_t>(AnsiCharLength(s[i]));
  return std::min(std::max<size_t>(n, 1), s.size() - i);
}
size_t CharLength(View<char16_t>, size_t) { return 1; }

// Blanks around lines and names: space, tab, line feed, vertical tab, form feed, carriage
// return, and the end-of-file mark 1A that old editors leave.
template <class Unit> bool IsBlank(Unit c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0d) || c == 0x1a;
}

// The units from..to without blank characters at either end.
template <class Unit> std::pair<size_t, size_t> Trim(View<Unit> s, size_t from, size_t to) {
  size_t begin = to, end = from;
  for (size_t i = from; i < to;) {
    size_t n = CharLength(s, i);
    if (n != 1 || !IsBlank(s[i])) {
      if (begin == to) begin = i;
      end = i + n;
    }
    i += n;
  }
  return begin == to ? std::pair{from, from} : std::pair{begin, end};
}

// Position of the first character c (an ASCII character) in from..to, or to.
template <class Unit> size_t Find(View<Unit> s, size_t from, size_t to, char c) {
  for (size_t i = from; i < to; i += CharLength(s, i))
    if (s[i] == static_cast<Unit>(c)) return i;
  return to;
}

// Names compare character by character; only ASCII letters match their other case, so two
// GBK characters whose trail bytes differ only in case stay different names.
template <class Unit> bool SameName(View<Unit> a, View<Unit> b) {
  if (a.size() != b.size()) return false;
  auto fold = [](Unit c) { return (c >= 'a' && c <= 'z') ? static_cast<Unit>(c - 32) : c; };
  for (size_t i = 0; i < a.size();) {
    size_t n = CharLength(a, i);
    if (n != CharLength(b, i)) return false;
    if (n == 1 ? fold(a[i]) != fold(b[i]) : a.compare(i, n, b, i, n) != 0) return false;
    i += n;
  }
  return true;
}

enum class Kind { Blank, Header, Key };

struct Line {
  size_t begin, end, next; // text begin..end, then the line break up to next
  Kind kind;
  size_t nameBegin, nameEnd; // section name of a header, key name of a key line
  size_t equals;             // position of the '=' of a key line, or end without one
};

// Splits the text into lines at CR, LF or CR LF, and tells what each line is: blank, a section
// header "[name]" (anything after the first ']' ignored), or a key line "name=value" (a line
// without '=' is a key without value, named by the whole line).
template <class Unit> std::vector<Line> ParseLines(View<Unit> s) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < s.size()) {
    Line l{};
    l.begin = pos;
    size_t i = pos;
    while (i < s.size() && s[i] != '\r' && s[i] != '\n') i += CharLength(s, i);
    l.end = std::min(i, s.size());
    if (i < s.size()) i += (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ? 2 : 1;
    l.next = std::min(i, s.size());
    pos = l.next;

    auto [b, e] = Trim(s, l.begin, l.end);
    if (b == e) {
      l.kind = Kind::Blank;
    } else if (s[b] == '[' && Find(s, b + 1, e, ']') < e) {
      l.kind = Kind::Header;
      std::tie(l.nameBegin, l.nameEnd) = Trim(s, b + 1, Find(s, b + 1, e, ']'));
    } else {
      l.kind = Kind::Key;
      l.equals = Find(s, b, e, '=');
      std::tie(l.nameBegin, l.nameEnd) = Trim(s, b, l.equals);
      if (l.equals == e) l.equals = l.end;
    }
    lines.push_back(l);
  }
  return lines;
}

template <class Unit> View<Unit> TrimmedName(View<Unit> name) {
  auto [b, e] = Trim(name, 0, name.size());
  return name.substr(b, e - b);
}

template <class Unit>
Text<Unit> Edit(View<Unit> s, View<Unit> sectionArg, const Text<Unit> *keyArg,
                const Text<Unit> *value) {
  const std::vector<Line> lines = ParseLines(s);
  const View<Unit> section = TrimmedName(sectionArg);
  const View<Unit> key = keyArg ? TrimmedName(View<Unit>(*keyArg)) : View<Unit>();
  auto name = [&](const Line &l) { return s.substr(l.nameBegin, l.nameEnd - l.nameBegin); };
  auto isSection = [&](const Line &l) {
    return l.kind == Kind::Header && SameName(name(l), section);
  };
  auto bodyEnd = [&](size_t header) {
    size_t i = header + 1;
    while (i < lines.size() && lines[i].kind != Kind::Header) ++i;
    return i;
  };
  // New lines take the file's own line break; a file without one gets the Windows one.
  Text<Unit> eol{'\r', '\n'};
  for (const Line &l : lines)
    if (l.next > l.end) {
      eol = Text<Unit>(s.substr(l.end, l.next - l.end));
      break;
    }
  auto splice = [&](size_t from, size_t to, const Text<Unit> &with) {
    Text<Unit> out(s.substr(0, from));
    out += with;
    out += s.substr(to);
    return out;
  };
  auto lineOf = [&](View<Unit> k, const Text<Unit> &v) {
    Text<Unit> line(k);
    line += static_cast<Unit>('=');
    return line + v;
  };

  size_t header = 0;
  while (header < lines.size() && !isSection(lines[header])) ++header;

  if (!keyArg) { // remove the first section of that name, header and body
    if (header == lines.size()) return Text<Unit>(s);
    size_t end = bodyEnd(header);
    return splice(lines[header].begin, end < lines.size() ? lines[end].begin : s.size(), {});
  }
  if (!value) { // remove the first key of that name in any section of that name
    for (size_t h = header; h < lines.size(); ++h) {
      if (!isSection(lines[h])) continue;
      for (size_t i = h + 1, end = bodyEnd(h); i < end; ++i)
        if (lines[i].kind == Kind::Key && SameName(name(lines[i]), key))
          return splice(lines[i].begin, lines[i].next, {});
    }
    return Text<Unit>(s);
  }
  if (header == lines.size()) { // a new section at the end
    Text<Unit> add;
    if (!lines.empty() && lines.back().next == lines.back().end) add += eol;
    add += static_cast<Unit>('[');
    add += section;
    add += static_cast<Unit>(']');
    add += eol + lineOf(key, *value) + eol;
    return splice(s.size(), s.size(), add);
  }
  size_t end = bodyEnd(header), last = header;
  for (size_t i = header + 1; i < end; ++i) {
    const Line &l = lines[i];
    if (l.kind == Kind::Blank) continue;
    last = i;
    if (!SameName(name(l), key)) continue;
    // The key's line keeps its own spelling of the name; a line that named the key without
    // a value gets one.
    if (l.equals < l.end) return splice(l.equals + 1, l.end, *value);
    Text<Unit> with{static_cast<Unit>('=')};
    return splice(l.nameEnd, l.end, with + *value);
  }
  // A new key goes after the section's last line that is not blank, before blank separators.
  const Line &after = lines[last];
  Text<Unit> add = after.next == after.end ? eol : Text<Unit>();
  add += lineOf(key, *value) + eol;
  return splice(after.next, after.next, add);
}

View<unsigned char> Bytes(std::string_view s) {
  return {reinterpret_cast<const unsigned char *>(s.data()), s.size()};
}

std::u16string Wide(std::string_view ansi) {
  std::u16string out;
  bool lossy = false;
  if (!MultiByteToWide(AnsiCodePage(), ansi, &out, &lossy)) out.assign(ansi.begin(), ansi.end());
  return out;
}

// A file that starts with a UTF-16 byte-order mark is read and written in UTF-16 of that byte
// order; names and values, given in the ANSI code page, are converted for it.
std::string EditUtf16(std::string_view contents, bool bigEndian, std::string_view section,
                      const char *key, const char *value) {
  std::u16string text;
  for (size_t i = 2; i + 1 < contents.size(); i += 2) {
    auto hi = static_cast<unsigned char>(contents[bigEndian ? i : i + 1]);
    auto lo = static_cast<unsigned char>(contents[bigEndian ? i + 1 : i]);
    text += static_cast<char16_t>(hi << 8 | lo);
  }
  std::u16string wideKey = key ? Wide(key) : std::u16string();
  std::u16string wideValue = value ? Wide(value) : std::u16string();
  std::u16string edited = Edit<char16_t>(text, Wide(section), key ? &wideKey : nullptr,
                                         value ? &wideValue : nullptr);
  std::string out(contents.substr(0, 2));
  for (char16_t c : edited) {
    char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xff);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  }
  return out;
}

} // namespace

std::string SetProfileValue(std::string_view contents, std::string_view section, const char *key,
                            const char *value) {
  if (contents.starts_with("\xff\xfe")) return EditUtf16(contents, false, section, key, value);
  if (contents.starts_with("\xfe\xff")) return EditUtf16(contents, true, section, key, value);
  using Bytes8 = Text<unsigned char>;
  Bytes8 keyText, valueText;
  if (key) keyText = Bytes8(Bytes(key));
  if (value) valueText = Bytes8(Bytes(value));
  Bytes8 edited = Edit<unsigned char>(Bytes(contents), Bytes(section), key ? &keyText : nullptr,
                                      value ? &valueText : nullptr);
  return std::string(edited.begin(), edited.end());
}

bool WritePrivateProfileStrings(const std::string &path,
                                std::initializer_list<ProfileValue> values) {
  if (path.empty() || IsDirectory(path)) return false;
  std::string contents;
  const bool exists = FileExists(path);
  if (exists) {
    std::string error;
    if (!ReadWholeFile(path, &contents, &error)) return false;
  }
  std::string updated = contents;
  for (const ProfileValue &v : values) {
    if (!v.section) return false;
    updated = SetProfileValue(updated, v.section, v.key, v.value);
  }
  if (exists && updated == contents) return true;
  std::string error;
  return ReplaceFileAtomically(path, updated, &error);
}

bool WritePrivateProfileString(const char *section, const char *key, const char *value,
                               const std::string &path) {
  return WritePrivateProfileStrings(path, {{section, key, value}});
}

} // namespace qrx::platform
