// Gzip bodies of CFX messages (content-encoding "gzip"), through zlib.
#pragma once

#include <string>
#include <string_view>

namespace qrx::cfx {

class CfxGzip {
public:
  // The level publishers use unless told otherwise: a UnitsTested of 200 items shrinks to about
  // a tenth for about the time building its text takes; levels 6 and 9 cost two and four times
  // as much for about 10 % fewer bytes.
  static constexpr int kDefaultLevel = 1;
  // A gzip member (RFC 1952) of text at level 1 (fastest) to 9 (smallest).
  static std::string Compress(std::string_view text, int level = kDefaultLevel);
  // False with *error for data that is not gzip, is cut short, or inflates past maxBytes (a
  // small body that would fill the memory).
  static bool Inflate(std::string_view data, std::string *out, std::string *error,
                      size_t maxBytes = 64u << 20);
};

} // namespace qrx::cfx
