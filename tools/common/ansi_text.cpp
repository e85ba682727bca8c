// Conversion through the platform layer's code pages, with undecodable input replaced, so a
// garbled line is still shown.
#include "ansi_text.h"

#include "platform/code_page.h"

namespace qrx::tools {

std::string AnsiText::CodePageName() {
  const char *name = platform::CodePageName(platform::AnsiCodePage());
  return name ? name : "CP" + std::to_string(platform::AnsiCodePage());
}

std::string AnsiText::ToUtf8(const std::string &ansi) { return platform::AnsiToUtf8(ansi); }

std::string AnsiText::FromUtf8(const std::string &utf8) { return platform::Utf8ToAnsi(utf8); }

} // namespace qrx::tools
