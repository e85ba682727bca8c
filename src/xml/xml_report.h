// The result report of a document's last load, save or parse: an XML fragment of empty
// elements, one per event, that stops growing once it is longer than 999 characters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qrx {

class CXmlReport {
public:
  // One event: its name, then attribute name/value pairs added with Text and Number.
  class Entry {
  public:
    Entry &Text(const char *name, std::string_view value);
    Entry &Number(const char *name, int64_t value);
    ~Entry();
    Entry(const Entry &) = delete;
    Entry &operator=(const Entry &) = delete;

  private:
    friend class CXmlReport;
    Entry(CXmlReport *report, const char *event);
    CXmlReport *report_;
    std::string text_;
  };

  Entry Add(const char *event) { return Entry(this, event); }
  void Clear() { text_.clear(); }
  const std::string &Text() const { return text_; }

  static constexpr size_t kLimit = 999;

private:
  std::string text_;
};

} // namespace qrx
