// Values in INI files with the Windows private-profile rules: the settings files through which
// BI plug-ins learn what image to download.
#pragma once

#include <string>
#include <string_view>

namespace qrx::platform {

// Sets key in section of the INI file at path. Section and key names compare without regard
// to ASCII case; a missing file or section is created; an existing key line is replaced in
// place; every other line is kept byte for byte. A null key removes the whole section, a
// null value removes the key. The file is replaced atomically. Returns true when written.
bool WritePrivateProfileString(const char *section, const char *key, const char *value,
                               const std::string &path);

// The same rules applied to text in memory (what WritePrivateProfileString writes).
std::string SetProfileValue(std::string_view contents, std::string_view section,
                            const char *key, const char *value);

} // namespace qrx::platform
