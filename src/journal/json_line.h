// Pieces of one JSON line, appended to a reused buffer: keys, texts (converted from the ANSI
// code page to UTF-8 and escaped), numbers and flags. No allocation beyond the buffer's own
// growth for ASCII texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qrx::journal {

class JsonLine {
public:
  // ,"key":  (every field after the first of a line starts so)
  static void Key(std::string &out, std::string_view key);
  // A JSON string of a text in the ANSI code page.
  static void Text(std::string &out, std::string_view ansi);
  // A JSON string of a text that is UTF-8 already.
  static void Utf8(std::string &out, std::string_view utf8);
  static void Int(std::string &out, int64_t value);
  // Shortest form that reads back the same; null when not finite.
  static void Real(std::string &out, double value);
  // What "%f" writes (six decimals): how the exports stage a double.
  static void FixedReal(std::string &out, double value);
  static void Bool(std::string &out, bool value);

  // Shorthands for one whole field.
  static void TextField(std::string &out, std::string_view key, std::string_view ansi) {
    Key(out, key);
    Text(out, ansi);
  }
  static void IntField(std::string &out, std::string_view key, int64_t value) {
    Key(out, key);
    Int(out, value);
  }
  static void BoolField(std::string &out, std::string_view key, bool value) {
    Key(out, key);
    Bool(out, value);
  }
};

} // namespace qrx::journal
