// Encoding names and aliases (IANA registry and the names Windows accepts) with the Windows
// code page each one stands for. Looked up lower-cased.
#include "xml/xml_encoding_table.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace qrx {
namespace {

struct EncodingName {
  std::string_view name; // lower case
  int codePage;
};

// Sorted by name for a binary search.
constexpr EncodingName kNames[] = {
    {"gb2312", 936}, {"gbk", 936}, {"iso-8859-1", 28591}, {"shift_jis", 932},
    {"us-ascii", 20127}, {"utf-16", 1200}, {"utf-16be", 1201}, {"utf-16le", 1200},
    {"utf-8", 65001},
};

} // namespace

int EncodingNameToCodePage(std::string_view name) {
  if (name.empty() || name.size() > 99) return 0;
  std::string lower(name);
  for (char &c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  auto it = std::lower_bound(std::begin(kNames), std::end(kNames), std::string_view(lower),
                             [](const EncodingName &e, std::string_view n) { return e.name < n; });
  if (it == std::end(kNames) || it->name != lower) return 0;
  return it->codePage;
}

int EncodingNameCount() { return static_cast<int>(std::size(kNames)); }

} // namespace qrx
