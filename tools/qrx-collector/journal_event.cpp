// A strict reader of one JSON object per line: the grammar of RFC 8259, UTF-8 checked, the
// object's own fields recorded and nested values validated and kept as text.
#include "journal_event.h"

#include <charconv>

namespace qrx::collector {

namespace {
// Deeper nesting than this is no journal event: refused rather than recursed into.
constexpr int kMaxDepth = 64;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void AppendUtf8(std::string *out, uint32_t cp) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}
} // namespace

class JournalEvent::Reader {
public:
  Reader(std::string_view in, std::string *text) : in_(in), text_(text) {}

  bool AtEnd() {
    SkipSpace();
    return pos_ == in_.size();
  }
  bool Take(char c) {
    SkipSpace();
    if (pos_ < in_.size() && in_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  size_t Pos() const { return pos_; }

  // A string at the current position, decoded onto the end of text_ (or only checked).
  bool String(bool keep) {
    SkipSpace();
    if (pos_ >= in_.size() || in_[pos_] != '"')
      return false;
    ++pos_;
    size_t run = pos_; // bytes copied as they are, in runs
    auto flush = [&](size_t end) {
      if (keep)
        text_->append(in_.data() + run, end - run);
    };
    while (pos_ < in_.size()) {
      const auto c = static_cast<unsigned char>(in_[pos_]);
      if (c == '"') {
        flush(pos_);
        ++pos_;
        return true;
      }
      if (c < 0x20)
        return false;
      if (c == '\\') {
        flush(pos_);
        if (!Escape(keep))
          return false;
        run = pos_;
      } else if (c < 0x80) {
        ++pos_;
      } else if (!Utf8Sequence()) {
        return false;
      }
    }
    return false;
  }

  // Any value; kind says which. Nested values are checked, not kept.
  bool Value(Kind *kind, int depth) {
    SkipSpace();
    if (pos_ >= in_.size())
      return false;
    switch (in_[pos_]) {
    case '"': *kind = Kind::String; return String(false);
    case '{': *kind = Kind::Object; return Composite('}', depth);
    case '[': *kind = Kind::Array; return Composite(']', depth);
    case 't': *kind = Kind::True; return Word("true");
    case 'f': *kind = Kind::False; return Word("false");
    case 'n': *kind = Kind::Null; return Word("null");
    default: return Number(kind);
    }
  }

private:
  void SkipSpace() {
    while (pos_ < in_.size() && IsSpace(in_[pos_]))
      ++pos_;
  }

  bool Word(std::string_view word) {
    if (in_.substr(pos_, word.size()) != word)
      return false;
    pos_ += word.size();
    return true;
  }

  bool Digits() {
    const size_t from = pos_;
    while (pos_ < in_.size() && IsDigit(in_[pos_]))
      ++pos_;
    return pos_ > from;
  }

  bool Number(Kind *kind) {
    *kind = Kind::Integer;
    if (pos_ < in_.size() && in_[pos_] == '-')
      ++pos_;
    if (pos_ < in_.size() && in_[pos_] == '0')
      ++pos_;
    else if (!Digits())
      return false;
    if (pos_ < in_.size() && in_[pos_] == '.') {
      ++pos_;
      *kind = Kind::Real;
      if (!Digits())
        return false;
    }
    if (pos_ < in_.size() && (in_[pos_] == 'e' || in_[pos_] == 'E')) {
      ++pos_;
      *kind = Kind::Real;
      if (pos_ < in_.size() && (in_[pos_] == '+' || in_[pos_] == '-'))
        ++pos_;
      if (!Digits())
        return false;
    }
    return true;
  }

  bool Composite(char close, int depth) {
    if (depth >= kMaxDepth)
      return false;
    ++pos_;
    if (Take(close))
      return true;
    do {
      if (close == '}' && (!String(false) || !Take(':')))
        return false;
      Kind kind;
      if (!Value(&kind, depth + 1))
        return false;
    } while (Take(','));
    return Take(close);
  }

  bool Hex4(uint32_t *out) {
    if (in_.size() - pos_ < 4)
      return false;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = in_[pos_++];
      v <<= 4;
      if (IsDigit(c))
        v |= static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f')
        v |= static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        v |= static_cast<uint32_t>(c - 'A' + 10);
      else
        return false;
    }
    *out = v;
    return true;
  }

  bool Escape(bool keep) {
    ++pos_; // the backslash
    if (pos_ >= in_.size())
      return false;
    const char c = in_[pos_++];
    char plain = 0;
    switch (c) {
    case '"': plain = '"'; break;
    case '\\': plain = '\\'; break;
    case '/': plain = '/'; break;
    case 'b': plain = '\b'; break;
    case 'f': plain = '\f'; break;
    case 'n': plain = '\n'; break;
    case 'r': plain = '\r'; break;
    case 't': plain = '\t'; break;
    case 'u': {
      uint32_t cp;
      if (!Hex4(&cp))
        return false;
      if (cp >= 0xD800 && cp <= 0xDBFF) { // a high surrogate: its low half must follow
        uint32_t low;
        if (!Word("\\u") || !Hex4(&low) || low < 0xDC00 || low > 0xDFFF)
          return false;
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
      } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
        return false;
      }
      if (keep)
        AppendUtf8(text_, cp);
      return true;
    }
    default: return false;
    }
    if (keep)
      text_->push_back(plain);
    return true;
  }

  // One multi-byte UTF-8 character, shortest form, no surrogates, at most U+10FFFF.
  bool Utf8Sequence() {
    const auto lead = static_cast<unsigned char>(in_[pos_]);
    size_t n;
    uint32_t cp;
    if (lead >= 0xC2 && lead <= 0xDF) {
      n = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      n = 2;
      cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      n = 3;
      cp = lead & 0x07;
    } else {
      return false;
    }
    if (in_.size() - pos_ <= n)
      return false;
    for (size_t i = 1; i <= n; ++i) {
      const auto b = static_cast<unsigned char>(in_[pos_ + i]);
      if ((b & 0xC0) != 0x80)
        return false;
      cp = (cp << 6) | (b & 0x3F);
    }
    if ((n == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
      return false;
    pos_ += n + 1;
    return true;
  }

  std::string_view in_;
  std::string *text_;
  size_t pos_ = 0;
};

bool JournalEvent::Parse(std::string_view line) {
  while (!line.empty() && IsSpace(line.back()))
    line.remove_suffix(1);
  while (!line.empty() && IsSpace(line.front()))
    line.remove_prefix(1);
  line_.assign(line);
  text_.clear();
  fields_.clear();
  // Decoded text is never longer than the line, and an event has about a dozen fields: one
  // allocation each rather than one per doubling.
  text_.reserve(line_.size());
  fields_.reserve(16);
  Reader r(line_, &text_);
  auto fail = [&] {
    text_.clear();
    fields_.clear();
    return false;
  };
  if (!r.Take('{'))
    return fail();
  if (!r.Take('}')) {
    do {
      Field f{};
      f.keyBegin = static_cast<uint32_t>(text_.size());
      if (!r.String(true) || !r.Take(':'))
        return fail();
      f.keySize = static_cast<uint32_t>(text_.size() - f.keyBegin);
      // Strings are decoded onto text_; a value of any other kind is a slice of the line.
      r.AtEnd();
      const size_t start = r.Pos();
      f.valueBegin = static_cast<uint32_t>(text_.size());
      if (start < line_.size() && line_[start] == '"') {
        if (!r.String(true))
          return fail();
        f.kind = Kind::String;
        f.valueSize = static_cast<uint32_t>(text_.size() - f.valueBegin);
      } else {
        if (!r.Value(&f.kind, 1))
          return fail();
        f.valueBegin = static_cast<uint32_t>(start);
        f.valueSize = static_cast<uint32_t>(r.Pos() - start);
      }
      fields_.push_back(f);
    } while (r.Take(','));
    if (!r.Take('}'))
      return fail();
  }
  if (!r.AtEnd())
    return fail();
  return true;
}

JournalEvent JournalEvent::FromJson(const nlohmann::json &event) {
  JournalEvent e;
  e.Parse(event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  return e;
}

const JournalEvent::Field *JournalEvent::Find(std::string_view key) const {
  // The last of equal names counts, as with any JSON reader that keeps one of them.
  for (auto f = fields_.rbegin(); f != fields_.rend(); ++f)
    if (Key(*f) == key)
      return &*f;
  return nullptr;
}

std::string_view JournalEvent::Raw(const Field &f) const {
  return f.kind == Kind::String ? std::string_view(text_.data() + f.valueBegin, f.valueSize)
                                : std::string_view(line_.data() + f.valueBegin, f.valueSize);
}

bool JournalEvent::IsString(std::string_view key) const {
  const Field *f = Find(key);
  return f && f->kind == Kind::String;
}

bool JournalEvent::IsInteger(std::string_view key) const {
  const Field *f = Find(key);
  return f && f->kind == Kind::Integer;
}

std::optional<bool> JournalEvent::Bool(std::string_view key) const {
  const Field *f = Find(key);
  if (!f || (f->kind != Kind::True && f->kind != Kind::False))
    return std::nullopt;
  return f->kind == Kind::True;
}

std::string JournalEvent::Text(std::string_view key) const {
  const Field *f = Find(key);
  if (!f || f->kind == Kind::Null)
    return std::string();
  return std::string(Raw(*f));
}

std::string_view JournalEvent::StringView(std::string_view key) const {
  const Field *f = Find(key);
  return f && f->kind == Kind::String ? Raw(*f) : std::string_view();
}

std::optional<double> JournalEvent::Number(std::string_view key) const {
  const Field *f = Find(key);
  if (!f || (f->kind != Kind::Integer && f->kind != Kind::Real))
    return std::nullopt;
  const std::string_view raw = Raw(*f);
  double v = 0;
  const auto [end, ec] = std::from_chars(raw.data(), raw.data() + raw.size(), v);
  if (ec != std::errc() || end != raw.data() + raw.size())
    return std::nullopt; // beyond a double's range
  return v;
}

int64_t JournalEvent::Int(std::string_view key, int64_t fallback) const {
  const Field *f = Find(key);
  if (!f)
    return fallback;
  if (f->kind == Kind::Integer) {
    const std::string_view raw = Raw(*f);
    int64_t v = 0;
    const auto [end, ec] = std::from_chars(raw.data(), raw.data() + raw.size(), v);
    if (ec == std::errc() && end == raw.data() + raw.size())
      return v;
  }
  if (const auto number = Number(key)) {
    // Beyond int64 only a nonsense value: clamped rather than undefined.
    if (*number >= 9.2e18)
      return INT64_MAX;
    if (*number <= -9.2e18)
      return INT64_MIN;
    return static_cast<int64_t>(*number);
  }
  return fallback;
}

bool JournalEvent::Flag(std::string_view key) const {
  const Field *f = Find(key);
  if (!f)
    return false;
  if (f->kind == Kind::True || f->kind == Kind::False)
    return f->kind == Kind::True;
  const auto number = Number(key);
  return number && *number != 0;
}

nlohmann::json JournalEvent::Json(std::string_view key) const {
  const Field *f = Find(key);
  if (!f)
    return nullptr;
  if (f->kind == Kind::String)
    return std::string(Raw(*f));
  return nlohmann::json::parse(Raw(*f), nullptr, false);
}

nlohmann::json JournalEvent::ToJson() const {
  return line_.empty() ? nlohmann::json::object() : nlohmann::json::parse(line_, nullptr, false);
}

} // namespace qrx::collector
