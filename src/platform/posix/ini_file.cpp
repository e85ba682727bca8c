// INI value writer following the Windows private-profile rules, replacing the file atomically.
#include "platform/ini_file.h"

#include "platform/file_system.h"

#include <strings.h>

#include <vector>

namespace qrx::platform {
namespace {

struct Line {
  std::string_view text; // without its line break
  std::string_view brk;  // "\r\n", "\n" or "" for a last line without one
};

std::vector<Line> SplitLines(std::string_view s) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < s.size()) {
    size_t nl = s.find('\n', pos);
    if (nl == std::string_view::npos) {
      lines.push_back({s.substr(pos), {}});
      break;
    }
    size_t end = (nl > pos && s[nl - 1] == '\r') ? nl - 1 : nl;
    lines.push_back({s.substr(pos, end - pos), s.substr(end, nl + 1 - end)});
    pos = nl + 1;
  }
  return lines;
}

std::string_view Trim(std::string_view s) {
  const char *ws = " \t";
  size_t b = s.find_first_not_of(ws);
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(ws);
  return s.substr(b, e - b + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// The section name of a header line "[name]", or false for any other line.
bool SectionName(std::string_view line, std::string_view *name) {
  std::string_view t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == std::string_view::npos) return false;
  *name = Trim(t.substr(1, close - 1));
  return true;
}

bool KeyName(std::string_view line, std::string_view *name) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  *name = Trim(line.substr(0, eq));
  return true;
}

} // namespace

std::string SetProfileValue(std::string_view contents, std::string_view section, const char *key,
                            const char *value) {
  std::vector<Line> lines = SplitLines(contents);
  // New lines take the file's own line break; a new file gets the Windows one.
  std::string_view eol = "\r\n";
  for (const Line &l : lines)
    if (!l.brk.empty()) {
      eol = l.brk;
      break;
    }

  // Find the section: its header line and the end of its body (next header or end of file).
  size_t header = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view name;
    if (SectionName(lines[i].text, &name) && SameName(name, Trim(section))) {
      header = i;
      break;
    }
  }
  size_t bodyEnd = lines.size();
  if (header < lines.size()) {
    for (size_t i = header + 1; i < lines.size(); ++i) {
      std::string_view name;
      if (SectionName(lines[i].text, &name)) {
        bodyEnd = i;
        break;
      }
    }
  }

  std::string out;
  out.reserve(contents.size() + section.size() + 64);
  auto emit = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      out.append(lines[i].text);
      out.append(lines[i].brk);
    }
  };
  auto ensureBreak = [&] {
    if (!out.empty() && out.back() != '\n') out.append(eol);
  };
  std::string keyLine;
  if (key && value) keyLine = std::string(Trim(key)) + "=" + value;

  if (header == lines.size()) {
    // Nothing to remove from a section that does not exist.
    if (!key || !value) return std::string(contents);
    emit(0, lines.size());
    ensureBreak();
    out.append("[").append(Trim(section)).append("]").append(eol);
    out.append(keyLine).append(eol);
    return out;
  }
  if (!key) {
    emit(0, header);
    emit(bodyEnd, lines.size());
    return out;
  }

  size_t found = bodyEnd;
  size_t lastContent = header;
  for (size_t i = header + 1; i < bodyEnd; ++i) {
    std::string_view name;
    if (KeyName(lines[i].text, &name) && SameName(name, Trim(key))) {
      found = i;
      break;
    }
    if (!Trim(lines[i].text).empty()) lastContent = i;
  }
  if (found < bodyEnd) {
    emit(0, found);
    if (value) {
      out.append(keyLine);
      out.append(lines[found].brk.empty() ? std::string_view() : lines[found].brk);
    }
    emit(found + 1, lines.size());
    return out;
  }
  if (!value) return std::string(contents);
  // A new key goes after the section's last non-blank line, before any blank separator.
  emit(0, lastContent + 1);
  ensureBreak();
  out.append(keyLine).append(eol);
  emit(lastContent + 1, lines.size());
  return out;
}

bool WritePrivateProfileString(const char *section, const char *key, const char *value,
                               const std::string &path) {
  if (!section || path.empty() || IsDirectory(path)) return false;
  std::string contents;
  if (FileExists(path)) {
    std::string error;
    if (!ReadWholeFile(path, &contents, &error)) return false;
  }
  std::string updated = SetProfileValue(contents, section, key, value);
  if (updated == contents && FileExists(path)) return true;
  std::string error;
  return ReplaceFileAtomically(path, updated, &error);
}

} // namespace qrx::platform
