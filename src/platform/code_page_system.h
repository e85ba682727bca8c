// What each system supplies to the shared code-page front end (platform/code_page.cpp): its
// converters, keyed by Windows code-page numbers. posix/code_page.cpp and win32/code_page.cpp
// implement these; nothing outside the platform layer calls them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qrx::platform {

// One code page of the shared name table: its number and the encoding's usual name.
struct CodePageEntry {
  int codePage;
  const char *name;
};
// The table, and the index of a code page in it (-1 when it is not there).
const CodePageEntry *CodePageEntries(size_t *count);
int CodePageIndex(int codePage);

namespace system {

// The ANSI code page when QRX_ACP names none this system converts.
int DefaultAnsiCodePage();
// Whether this system converts the code page of table entry `index`.
bool Converts(size_t index);
// The conversions proper, called only for code pages that Converts() accepted.
void ToWide(size_t index, std::string_view in, std::u16string *out, bool *lossy);
void FromWide(size_t index, std::u16string_view in, std::string *out, bool *lossy);
// A direct conversion where the system has one faster than the way through UTF-16; false
// (nothing written) to take that way.
bool ConvertDirect(int fromCodePage, int toCodePage, std::string_view in, std::string *out,
                   bool *lossy);
// Length of the character that starts with `lead` in a multi-byte code page of the system's
// own; 0 when the front end's rule (one byte, or UTF-8's) applies.
int LeadByteLength(int codePage, unsigned char lead);

} // namespace system
} // namespace qrx::platform
