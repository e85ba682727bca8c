// Encoding names as files declare them (IANA names and their common aliases) mapped to
// Windows code pages.
#pragma once

#include <string_view>

namespace qrx {

// Code page of an encoding name, compared without regard to ASCII case; 0 when the name is
// not known (or longer than 99 characters).
int EncodingNameToCodePage(std::string_view name);

// Number of names in the table (for tests).
int EncodingNameCount();

} // namespace qrx
