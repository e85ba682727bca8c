// One journal line read as a flat event: the top-level fields of its JSON object, strings
// decoded, everything else kept as its JSON text. Reading a field is a scan of a dozen names,
// with no tree built per line; nested values (a call's arguments and read-back texts) become a
// JSON tree only when asked for.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qrx::collector {

class JournalEvent {
public:
  // Takes one line (without its '\n'). False when it is not exactly one JSON object; the event
  // is then empty.
  bool Parse(std::string_view line);
  // The same event from a tree (an object), as a writer of events in memory has it.
  static JournalEvent FromJson(const nlohmann::json &event);

  bool Has(std::string_view key) const { return Find(key) != nullptr; }
  bool IsString(std::string_view key) const;
  bool IsInteger(std::string_view key) const;
  // A JSON true or false; nothing for any other value.
  std::optional<bool> Bool(std::string_view key) const;

  // Texts as they are; numbers and booleans as their JSON text; "" when absent or null.
  std::string Text(std::string_view key) const;
  // The decoded text of a string field; "" for any other value. Valid until the next Parse.
  std::string_view StringView(std::string_view key) const;
  // Integers as they are, other numbers truncated; fallback otherwise.
  int64_t Int(std::string_view key, int64_t fallback = 0) const;
  std::optional<double> Number(std::string_view key) const;
  // true, or a non-zero number.
  bool Flag(std::string_view key) const;
  // The field as a tree (null when absent): for the nested values.
  nlohmann::json Json(std::string_view key) const;
  // The whole event as a tree.
  nlohmann::json ToJson() const;
  // The line as read, without surrounding white space.
  std::string_view Line() const { return line_; }

private:
  enum class Kind : uint8_t { String, Integer, Real, True, False, Null, Object, Array };
  struct Field {
    uint32_t keyBegin, keySize;   // in text_
    uint32_t valueBegin, valueSize; // strings in text_, everything else in line_
    Kind kind;
  };
  class Reader;

  const Field *Find(std::string_view key) const;
  std::string_view Key(const Field &f) const { return {text_.data() + f.keyBegin, f.keySize}; }
  std::string_view Raw(const Field &f) const;

  std::string line_;
  std::string text_; // decoded keys and string values
  std::vector<Field> fields_;
};

} // namespace qrx::collector
