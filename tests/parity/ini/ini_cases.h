// Generated INI files and the writes and deletions applied to them, the same on both sides of
// the comparison with the system's own WritePrivateProfileStringA.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qrx::parity {

// One call: a null key removes the section, a null value removes the key.
struct IniOperation {
  std::string section;
  std::optional<std::string> key;
  std::optional<std::string> value;
};

struct IniCase {
  std::string name;                // what the case tries, for failure messages
  std::optional<std::string> file; // contents before the calls; no file when empty
  std::vector<IniOperation> operations;
  // Where Wine is known to answer differently from Windows: the bytes Windows leaves, and
  // why. Such a case is not compared with Wine but with these bytes.
  std::optional<std::string> windowsResult;
  std::string wineDiffers;
};

// The same list on every call and every machine.
std::vector<IniCase> GenerateIniCases();

// The case list as the reference program reads it (names and values in hex).
std::string CaseManifest(const std::vector<IniCase> &cases);

// File name of case i ("0042.ini").
std::string CaseFileName(size_t index);

} // namespace qrx::parity
