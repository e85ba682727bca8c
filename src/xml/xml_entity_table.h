// The named character references of HTML with their Unicode code points.
#pragma once

#include <string_view>

namespace qrx {

// Code point of a named reference (the name between "&" and ";", case-sensitive, so "Eacute"
// and "eacute" differ); -1 when the name is not known.
int HtmlEntityCodePoint(std::string_view name);

// Number of names in the table (for tests).
int HtmlEntityCount();

} // namespace qrx
