// Code-page conversion (iconv) between the ANSI code page, UTF-16 and other code pages.
#pragma once

#include <string>
#include <string_view>

namespace qrx::platform {

// The process's ANSI code page: 936 (GBK) unless QRX_ACP names another code page number.
int AnsiCodePage();

// iconv name of a Windows code page (936 -> "GBK", 65001 -> "UTF-8", 1200 -> "UTF-16LE",
// 1201 -> "UTF-16BE", 932 -> "SHIFT_JIS", ...); null when there is none.
const char *IconvNameForCodePage(int codePage);

// Converts text in codePage to UTF-16 (native byte order). Characters that cannot be
// converted become U+FFFD and set *lossy. False when the code page is not supported.
bool MultiByteToWide(int codePage, std::string_view in, std::u16string *out, bool *lossy);

// Converts UTF-16 (native byte order) to codePage. Characters the code page cannot represent
// become '?' and set *lossy. False when the code page is not supported.
bool WideToMultiByte(int codePage, std::u16string_view in, std::string *out, bool *lossy);

// For terminals and logs: ANSI code page text to UTF-8 (lossy characters replaced).
std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsi(std::string_view text);

// Length in bytes of the character of the ANSI code page that starts with lead byte c
// (1 for single-byte characters; 2 for GBK lead bytes, ...).
int AnsiCharLength(unsigned char lead);

} // namespace qrx::platform
