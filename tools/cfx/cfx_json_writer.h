// Compact JSON text written straight into a string, property by property, without building a
// document first: what CFX messages of hundreds of measurements are made with. Strings come out
// as valid UTF-8 (a byte sequence that is not UTF-8, such as a station's Latin-1 item value, as
// U+FFFD); numbers in their shortest form that reads back to the same double, always with a
// decimal point or exponent, as .NET receivers expect of a double.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qrx::cfx {

class CfxJsonWriter {
public:
  explicit CfxJsonWriter(std::string *out) : out_(out) {}

  // Structure. Key() names the next value of an object; keys are the program's own ASCII names
  // and are written as they stand.
  CfxJsonWriter &BeginObject() { return Open('{'); }
  CfxJsonWriter &EndObject() { return Close('}'); }
  CfxJsonWriter &BeginArray() { return Open('['); }
  CfxJsonWriter &EndArray() { return Close(']'); }
  CfxJsonWriter &Key(std::string_view name);

  // Values.
  CfxJsonWriter &String(std::string_view text);
  CfxJsonWriter &Number(double value); // null when not finite
  CfxJsonWriter &Integer(int64_t value);
  CfxJsonWriter &Bool(bool value);
  CfxJsonWriter &Null();
  // JSON text that is complete and valid already (a body written before).
  CfxJsonWriter &Raw(std::string_view json);
  // A date-time (microseconds since the epoch) in the form CFX receivers read.
  CfxJsonWriter &DateTime(int64_t wallUs);

  // Properties: the key and its value.
  CfxJsonWriter &Text(std::string_view key, std::string_view text) { return Key(key).String(text); }
  CfxJsonWriter &TextOrNull(std::string_view key, std::string_view text) { // empty: null
    return text.empty() ? Key(key).Null() : Key(key).String(text);
  }
  CfxJsonWriter &TextOrNull(std::string_view key, const std::string &text) {
    return TextOrNull(key, std::string_view(text));
  }
  CfxJsonWriter &TextOrNull(std::string_view key, const std::optional<std::string> &text) {
    return text ? Key(key).String(*text) : Key(key).Null();
  }
  CfxJsonWriter &Number(std::string_view key, double value) { return Key(key).Number(value); }
  CfxJsonWriter &NumberOrNull(std::string_view key, const std::optional<double> &value) {
    return value ? Key(key).Number(*value) : Key(key).Null();
  }
  CfxJsonWriter &Integer(std::string_view key, int64_t value) { return Key(key).Integer(value); }
  CfxJsonWriter &Bool(std::string_view key, bool value) { return Key(key).Bool(value); }
  CfxJsonWriter &Null(std::string_view key) { return Key(key).Null(); }
  CfxJsonWriter &DateTimeOrNull(std::string_view key, int64_t wallUs) { // 0: null
    return wallUs ? Key(key).DateTime(wallUs) : Key(key).Null();
  }

  // The text of a string value, quotes included, appended to out.
  static void AppendString(std::string *out, std::string_view text);
  // The text of a double (never NaN or infinite), appended to out.
  static void AppendNumber(std::string *out, double value);

private:
  CfxJsonWriter &Open(char bracket);
  CfxJsonWriter &Close(char bracket);
  void Separate() {
    if (!first_) out_->push_back(',');
    first_ = false;
  }

  std::string *out_;
  bool first_ = true; // nothing written yet at this level (or a key just written)
};

} // namespace qrx::cfx
