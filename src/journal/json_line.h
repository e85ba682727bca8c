// One JSON line being built: keys, texts (converted from the ANSI code page to UTF-8 and
// escaped), numbers and flags, written straight into a buffer that is kept from line to line.
// Every piece makes room once and copies; nothing allocates once the buffer has grown to the
// longest line.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace qrx::journal {

class JsonLine {
public:
  JsonLine() { buffer_.resize(1024); }

  void Clear() { used_ = 0; }
  std::string_view View() const { return {buffer_.data(), used_}; }
  size_t Size() const { return used_; }

  // Bytes as they stand: punctuation, or a piece that is JSON already.
  void Raw(char c) { *Room(1) = c, ++used_; }
  void Raw(std::string_view text) {
    std::memcpy(Room(text.size()), text.data(), text.size());
    used_ += text.size();
  }
  // ,"key":  (every field after the first of a line starts so; keys need no escaping)
  void Key(std::string_view key) {
    char *p = Room(key.size() + 4);
    p[0] = ',';
    p[1] = '"';
    std::memcpy(p + 2, key.data(), key.size());
    p[key.size() + 2] = '"';
    p[key.size() + 3] = ':';
    used_ += key.size() + 4;
  }
  // A JSON string of a text in the ANSI code page.
  void Text(std::string_view ansi);
  // A JSON string of a text that is UTF-8 already.
  void Utf8(std::string_view utf8);
  void Int(int64_t value) {
    char *p = Room(20);
    used_ = static_cast<size_t>(std::to_chars(p, p + 20, value).ptr - buffer_.data());
  }
  // Shortest form that reads back the same; null when not finite.
  void Real(double value);
  // What "%f" writes (six decimals), as a JSON string: how the exports stage a double.
  void FixedReal(double value);
  void Bool(bool value) { Raw(value ? std::string_view("true") : std::string_view("false")); }

  // One whole field.
  void TextField(std::string_view key, std::string_view ansi) {
    Key(key);
    Text(ansi);
  }
  void IntField(std::string_view key, int64_t value) {
    Key(key);
    Int(value);
  }
  void BoolField(std::string_view key, bool value) {
    Key(key);
    Bool(value);
  }

private:
  // At least bytes of room after the used part.
  char *Room(size_t bytes) {
    if (buffer_.size() - used_ < bytes) Grow(bytes);
    return buffer_.data() + used_;
  }
  void Grow(size_t bytes);
  void Escaped(std::string_view utf8);
  void Quoted(std::string_view text); // "text", with nothing to escape in it

  std::string buffer_; // its size is the room; used_ bytes of it are the line
  size_t used_ = 0;
};

} // namespace qrx::journal
