// Suggests the export a misspelt name was meant to be, by edit distance over the catalogue.
#pragma once

#include <string>
#include <string_view>

namespace qrx::tools {

// Levenshtein distance of a and b, letter case ignored (a wrong case costs nothing, since
// exports never differ only in case).
size_t EditDistance(std::string_view a, std::string_view b);

// The catalogue export closest to `name`, or "" when none is close enough to be a typing
// slip: at most a third of the name's letters (and at least 1, at most 4) may differ.
std::string ClosestExport(std::string_view name);

} // namespace qrx::tools
