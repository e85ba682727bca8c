// Text of the interface library (ANSI code page: GBK unless QRX_ACP says other) for a UTF-8
// terminal and back.
#pragma once

#include <string>

namespace qrx::tools {

class AnsiText {
public:
  static std::string ToUtf8(const std::string &ansi);
  static std::string FromUtf8(const std::string &utf8);
  static std::string CodePageName(); // name of the ANSI code page ("GBK", "UTF-8", ...)
};

} // namespace qrx::tools
