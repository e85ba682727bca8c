// Report entries of the XML document, written as empty elements with escaped attributes.
#include "xml/xml_report.h"

#include <algorithm>

namespace qrx {

CXmlReport::Entry::Entry(CXmlReport *report, const char *event) : report_(report) {
  // Past the limit the entry is still built (callers chain on it) but never stored.
  if (report_->text_.size() > kLimit) report_ = nullptr;
  if (report_) text_.append("<").append(event);
}

CXmlReport::Entry &CXmlReport::Entry::Text(const char *name, std::string_view value) {
  if (!report_) return *this;
  text_.append(" ").append(name).append("=\"");
  // Values can be file names, system messages or hostile tag names: bound what one value
  // writes (after escaping) so one entry cannot flood the report.
  const size_t limit = text_.size() + 256;
  for (size_t i = 0; i < value.size() && text_.size() < limit; ++i) {
    char c = value[i];
    switch (c) {
    case '&': text_ += "&amp;"; break;
    case '<': text_ += "&lt;"; break;
    case '>': text_ += "&gt;"; break;
    case '"': text_ += "&quot;"; break;
    default:
      if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') text_ += c;
      else text_ += ' ';
    }
  }
  text_ += '"';
  return *this;
}

CXmlReport::Entry &CXmlReport::Entry::Number(const char *name, int64_t value) {
  if (!report_) return *this;
  text_.append(" ").append(name).append("=\"").append(std::to_string(value)).append("\"");
  return *this;
}

CXmlReport::Entry::~Entry() {
  if (report_) report_->text_.append(text_).append("/>");
}

} // namespace qrx
