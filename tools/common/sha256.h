// SHA-256 of a byte string, for the hash of the sequence file that a unit record names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qrx::tools {

class Sha256 {
public:
  Sha256();
  void Update(std::string_view bytes);
  std::string HexDigest(); // lower-case hex; ends the computation
  static std::string Hex(std::string_view bytes);

private:
  void Block(const unsigned char *block);
  uint32_t h_[8];
  unsigned char buffer_[64];
  size_t used_ = 0;
  uint64_t length_ = 0;
};

} // namespace qrx::tools
