// Text from stations, test libraries and stores made safe for HTML pages.
#pragma once

#include <string>
#include <string_view>

namespace qrx::web {

// Escapes & < > " ' so the text is inert in element content and in quoted attribute values.
// Bytes that are not valid UTF-8 become U+FFFD, so a page never carries broken sequences.
std::string EscapeHtml(std::string_view text);

// Replaces invalid UTF-8 sequences with U+FFFD (JSON writers refuse them).
std::string ValidUtf8(std::string_view text);

} // namespace qrx::web
