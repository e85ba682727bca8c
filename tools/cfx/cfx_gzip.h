// Gzip bodies of CFX messages (content-encoding "gzip"), through zlib.
#pragma once

#include <string>
#include <string_view>

namespace qrx::cfx {

class CfxGzip {
public:
  // The level publishers use unless told otherwise: on a UnitsTested of a few hundred items it
  // takes about a fifth of the bytes for a fraction of the time building the text takes; higher
  // levels cost several times the CPU for a few per cent fewer bytes.
  static constexpr int kDefaultLevel = 1;
  // A gzip member (RFC 1952) of text at level 1 (fastest) to 9 (smallest).
  static std::string Compress(std::string_view text, int level = kDefaultLevel);
  // False with *error for data that is not gzip, is cut short, or inflates past maxBytes (a
  // small body that would fill the memory).
  static bool Inflate(std::string_view data, std::string *out, std::string *error,
                      size_t maxBytes = 64u << 20);
};

} // namespace qrx::cfx
