// JSON text pieces for the station journal.
#include "journal/json_line.h"

#include "platform/code_page.h"

#include <charconv>
#include <cmath>

namespace qrx::journal {
namespace {

constexpr char kHex[] = "0123456789abcdef";

void AppendEscaped(std::string &out, std::string_view utf8) {
  out += '"';
  size_t plainFrom = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(utf8.data() + plainFrom, i - plainFrom);
    plainFrom = i + 1;
    switch (c) {
    case '"': out += "\\\""; break;
    case '\\': out += "\\\\"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\t': out += "\\t"; break;
    default:
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  out.append(utf8.data() + plainFrom, utf8.size() - plainFrom);
  out += '"';
}

} // namespace

void JsonLine::Key(std::string &out, std::string_view key) {
  out += ",\"";
  out += key;
  out += "\":";
}

void JsonLine::Text(std::string &out, std::string_view ansi) {
  // ASCII is the same in every ANSI code page and in UTF-8: most texts skip the conversion.
  for (char c : ansi) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      AppendEscaped(out, platform::AnsiToUtf8(ansi));
      return;
    }
  }
  AppendEscaped(out, ansi);
}

void JsonLine::Utf8(std::string &out, std::string_view utf8) { AppendEscaped(out, utf8); }

void JsonLine::Int(std::string &out, int64_t value) {
  char text[24];
  const auto r = std::to_chars(text, text + sizeof text, value);
  out.append(text, r.ptr);
}

void JsonLine::Real(std::string &out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  char text[32];
  const auto r = std::to_chars(text, text + sizeof text, value);
  out.append(text, r.ptr);
}

void JsonLine::FixedReal(std::string &out, double value) {
  // As the staging writes it: DBL_MAX has 309 integer digits.
  char text[330];
  const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  if (r.ec != std::errc()) {
    out += "\"\"";
    return;
  }
  out += '"';
  out.append(text, r.ptr);
  out += '"';
}

void JsonLine::Bool(std::string &out, bool value) { out += value ? "true" : "false"; }

} // namespace qrx::journal
