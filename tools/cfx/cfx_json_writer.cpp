// Escaping, UTF-8 repair and number forms of the JSON writer.
#include "cfx_json_writer.h"

#include "cfx_format.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace qrx::cfx {

CfxJsonWriter &CfxJsonWriter::Open(char bracket) {
  Separate();
  out_->push_back(bracket);
  first_ = true;
  return *this;
}

CfxJsonWriter &CfxJsonWriter::Close(char bracket) {
  out_->push_back(bracket);
  first_ = false;
  return *this;
}

CfxJsonWriter &CfxJsonWriter::Key(std::string_view name) {
  Separate();
  out_->push_back('"');
  out_->append(name);
  out_->append("\":", 2);
  first_ = true;
  return *this;
}

CfxJsonWriter &CfxJsonWriter::String(std::string_view text) {
  Separate();
  AppendString(out_, text);
  return *this;
}

CfxJsonWriter &CfxJsonWriter::Number(double value) {
  Separate();
  if (std::isfinite(value)) AppendNumber(out_, value);
  else out_->append("null", 4);
  return *this;
}

CfxJsonWriter &CfxJsonWriter::Integer(int64_t value) {
  Separate();
  char text[24];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  out_->append(text, static_cast<size_t>(end - text));
  return *this;
}

CfxJsonWriter &CfxJsonWriter::Bool(bool value) {
  Separate();
  if (value) out_->append("true", 4);
  else out_->append("false", 5);
  return *this;
}

CfxJsonWriter &CfxJsonWriter::Null() {
  Separate();
  out_->append("null", 4);
  return *this;
}

CfxJsonWriter &CfxJsonWriter::Raw(std::string_view json) {
  Separate();
  out_->append(json);
  return *this;
}

CfxJsonWriter &CfxJsonWriter::DateTime(int64_t wallUs) {
  Separate();
  out_->push_back('"');
  CfxFormat::AppendDateTime(out_, wallUs);
  out_->push_back('"');
  return *this;
}

namespace {

// Bytes a string may hold as they stand: printable ASCII other than the quote and backslash.
struct PlainBytes {
  bool plain[256];
  constexpr PlainBytes() : plain() {
    for (int c = 0x20; c < 0x80; ++c) plain[c] = c != '"' && c != '\\';
  }
};
constexpr PlainBytes kPlain;

constexpr char kReplacement[] = "\xEF\xBF\xBD"; // U+FFFD

// The length of the well-formed UTF-8 sequence at text[i] (2 to 4), or 0 when it is not one; then
// *bad is how many bytes the malformed piece spans (the lead and the continuation bytes that
// fitted it), all of which one U+FFFD stands for.
size_t SequenceAt(std::string_view text, size_t i, size_t *bad) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF; // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;      // no overlong forms
    else if (lead == 0xED) high = 0x9F; // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    else if (lead == 0xF4) high = 0x8F; // nothing past U+10FFFF
  }
  *bad = 1;
  if (length == 0) return 0;
  for (size_t k = 1; k < length; ++k) {
    if (i + k >= text.size()) return 0;
    const unsigned char c = byte(i + k);
    const bool fits = k == 1 ? c >= low && c <= high : c >= 0x80 && c <= 0xBF;
    if (!fits) return 0;
    *bad = k + 1;
  }
  return length;
}

} // namespace

void CfxJsonWriter::AppendString(std::string *out, std::string_view text) {
  out->push_back('"');
  size_t run = 0; // start of the bytes not yet copied
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (kPlain.plain[c]) {
      ++i;
      continue;
    }
    if (c >= 0x80) {
      size_t bad = 0;
      if (const size_t length = SequenceAt(text, i, &bad)) {
        i += length;
        continue;
      }
      out->append(text.data() + run, i - run);
      out->append(kReplacement, 3);
      i += bad;
      run = i;
      continue;
    }
    out->append(text.data() + run, i - run);
    switch (c) {
    case '"': out->append("\\\"", 2); break;
    case '\\': out->append("\\\\", 2); break;
    case '\b': out->append("\\b", 2); break;
    case '\f': out->append("\\f", 2); break;
    case '\n': out->append("\\n", 2); break;
    case '\r': out->append("\\r", 2); break;
    case '\t': out->append("\\t", 2); break;
    default: {
      static constexpr char kHex[] = "0123456789abcdef";
      const char escaped[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
      out->append(escaped, 6);
    }
    }
    run = ++i;
  }
  out->append(text.data() + run, text.size() - run);
  out->push_back('"');
}

void CfxJsonWriter::AppendNumber(std::string *out, double value) {
  // The shortest digits that read back as the same double, laid out as nlohmann-json and
  // Json.NET readers have always seen them from us: plain decimals for exponents -4 to 15
  // ("28300.0", "0.0001"), else "1.5e-05", "1e+16".
  char sci[40];
  const auto end = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific).ptr;
  const char *p = sci;
  char text[64];
  size_t n = 0;
  if (*p == '-') {
    text[n++] = '-';
    ++p;
  }
  const char *e = static_cast<const char *>(std::memchr(p, 'e', static_cast<size_t>(end - p)));
  char digits[24];
  int k = 0; // number of significant digits
  for (const char *q = p; q < e; ++q)
    if (*q != '.') digits[k++] = *q;
  int exponent = 0;
  std::from_chars(e[1] == '+' ? e + 2 : e + 1, end, exponent);
  const int point = exponent + 1; // digits before the decimal point
  if (k <= point && point <= 15) { // 28300.0
    std::memcpy(text + n, digits, static_cast<size_t>(k));
    n += static_cast<size_t>(k);
    std::memset(text + n, '0', static_cast<size_t>(point - k));
    n += static_cast<size_t>(point - k);
    text[n++] = '.';
    text[n++] = '0';
  } else if (0 < point && point <= 15) { // 3.92
    std::memcpy(text + n, digits, static_cast<size_t>(point));
    n += static_cast<size_t>(point);
    text[n++] = '.';
    std::memcpy(text + n, digits + point, static_cast<size_t>(k - point));
    n += static_cast<size_t>(k - point);
  } else if (-4 < point && point <= 0) { // 0.0001
    text[n++] = '0';
    text[n++] = '.';
    std::memset(text + n, '0', static_cast<size_t>(-point));
    n += static_cast<size_t>(-point);
    std::memcpy(text + n, digits, static_cast<size_t>(k));
    n += static_cast<size_t>(k);
  } else { // 1.5e-05
    text[n++] = digits[0];
    if (k > 1) {
      text[n++] = '.';
      std::memcpy(text + n, digits + 1, static_cast<size_t>(k - 1));
      n += static_cast<size_t>(k - 1);
    }
    text[n++] = 'e';
    text[n++] = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) text[n++] = '0';
    n = static_cast<size_t>(std::to_chars(text + n, text + sizeof text, magnitude).ptr - text);
  }
  out->append(text, n);
}

} // namespace qrx::cfx
