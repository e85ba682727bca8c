// The journal's settings of one deployment: BusinessCfg/Recording.xml, read through the
// library's own setting files. Without the file there is no journal.
#pragma once

#include <cstdint>
#include <string>

namespace qrx::journal {

struct JournalSettings {
  std::string folder;        // full path, ending without a separator
  int64_t maxFileBytes = 0;  // rotation bound of one file
  int64_t maxFolderBytes = 0; // retention bound of the folder
  bool required = false;     // no journal, no station

  // Reads <stationDirectory>BusinessCfg/Recording.xml. False (and nothing created) when the
  // file does not exist. Missing or unusable values take their defaults; the folder is taken
  // relative to stationDirectory unless absolute; Required is 1 or "true".
  static bool Load(const std::string &stationDirectory, JournalSettings *out);
};

} // namespace qrx::journal
