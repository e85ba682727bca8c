// Values in INI files with the Windows private-profile rules: the settings files through which
// BI plug-ins learn what image to download.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace qrx::platform {

// Sets key in section of the INI file at path, as WritePrivateProfileStringA does on Windows:
//
// - Lines end at CR LF, LF or a lone CR. Space, tab, vertical tab, form feed, CR, LF and 1A
//   around a line or a name are blanks. A line "[name]" starts a section (whatever follows the
//   first ']' is ignored); any other line that is not blank is a key, named by what comes
//   before its first '=', or by the whole line when it has none.
// - The file is read character by character of the ANSI code page: a GBK trail byte is never
//   a bracket, '=' or line break. Names compare without regard to case of ASCII letters only,
//   so two GBK names whose trail bytes differ in case are different names.
// - A write goes to the first section of that name: its first line of that key gets the new
//   value in place (a key line without '=' gains one), else a new "key=value" line follows the
//   section's last line that is not blank; a missing section is appended to the file. New lines
//   take the file's first line break (CR LF for a file without one).
// - A null value removes the first line of that key from the sections of that name; a null key
//   removes the first section of that name with its lines. Every other byte is kept.
// - A file that starts with a UTF-16 byte-order mark (either byte order) is read and rewritten
//   in UTF-16 of that order; names and values are converted from the ANSI code page.
//
// Where Wine's implementation differs from Windows, this follows Windows:
// - Windows does not recognise a UTF-8 byte-order mark: it is part of the first line, so a
//   first section header behind it is no header (Wine reads the file as UTF-8).
// - The first ']' of a header ends the section name (Wine takes the last).
// - A deletion on a missing file leaves an empty file (Wine makes none).
//
// A missing file is created; the file is replaced atomically. Returns true when written (or
// nothing had to change).
bool WritePrivateProfileString(const char *section, const char *key, const char *value,
                               const std::string &path);

// One value for WritePrivateProfileStrings, with the meanings WritePrivateProfileString gives
// its arguments.
struct ProfileValue {
  const char *section;
  const char *key;
  const char *value;
};

// Sets several values by the same rules, all or nothing: the file is replaced once, with every
// value set, or not at all (false).
bool WritePrivateProfileStrings(const std::string &path,
                                std::initializer_list<ProfileValue> values);

// The same rules applied to the file's contents in memory (what WritePrivateProfileString
// writes; a missing file has empty contents).
std::string SetProfileValue(std::string_view contents, std::string_view section,
                            const char *key, const char *value);

} // namespace qrx::platform
