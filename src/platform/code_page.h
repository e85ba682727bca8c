// Code-page conversion between the ANSI code page, UTF-16 and other code pages, answering as
// Windows' MultiByteToWideChar and WideCharToMultiByte do with flags 0.
#pragma once

#include <string>
#include <string_view>

namespace qrx::platform {

// The process's ANSI code page: 936 (GBK) unless QRX_ACP names another code page number.
int AnsiCodePage();

// Usual name of the encoding of a Windows code page that this system converts (936 -> "GBK",
// 65001 -> "UTF-8", 1200 -> "UTF-16LE", 932 -> "CP932", 852 -> "CP852", ...); null when the
// code page is unknown or has no converter here, so a caller never takes it as converted. One
// table for every system: a file that names its encoding reads alike wherever both convert it.
const char *CodePageName(int codePage);

// Converts text in codePage to UTF-16 (native byte order), as Windows reads it. On Windows
// that is MultiByteToWideChar itself; elsewhere the code pages 874, 932, 936, 949, 950 and
// 1250-1258 go through the library's own copies of the Windows tables (user-defined and
// unassigned positions read as private-use characters), others through iconv. A byte sequence
// the code page rejects becomes its default character ('?', U+30FB for 932; U+FFFD for UTF-8
// and the iconv code pages) and sets *lossy. False (and nothing converted) when the code page
// is not supported.
bool MultiByteToWide(int codePage, std::string_view in, std::u16string *out, bool *lossy);

// Converts UTF-16 (native byte order) to codePage. Characters the code page cannot represent
// become '?' and set *lossy; each half of a surrogate pair is one such character, so a
// character beyond U+FFFF becomes "??" in a code page other than UTF-8 and UTF-16. Where
// Windows writes a near equivalent (best fit: U+00B5 as GBK A6 CC, U+00B2 as '2'), so does
// this, without *lossy: Windows does not report a best fit as a loss either. False when the
// code page is not supported.
bool WideToMultiByte(int codePage, std::u16string_view in, std::string *out, bool *lossy);

// Converts text between two code pages as MultiByteToWide followed by WideToMultiByte would,
// with direct paths between UTF-8 and the table code pages. False when either is not supported.
bool ConvertCodePage(int fromCodePage, int toCodePage, std::string_view in, std::string *out,
                     bool *lossy);

// For terminals and logs: ANSI code page text to UTF-8 (lossy characters replaced).
std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsi(std::string_view text);

// Length in bytes of the character of the ANSI code page that starts with lead byte c
// (1 for single-byte characters; 2 for the lead bytes of 932, 936, 949 and 950, ...).
int AnsiCharLength(unsigned char lead);

} // namespace qrx::platform
