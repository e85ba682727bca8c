// Keeps a journal folder within its bound: removes the oldest finished journal files, first those
// that qrx-collector has marked recorded, then, if the folder is still too large, any finished
// ones. A file is finished when it ends with station_end or rotated, or when its host, a process
// of this machine, is gone. Files still being written are never removed.
#pragma once

#include <cstdint>
#include <string>

namespace qrx::journal {

class JournalRetention {
public:
  struct Outcome {
    int removed = 0;
    int removedUnrecorded = 0; // closed files removed before the collector had recorded them
  };
  static Outcome Enforce(const std::string &folder, int64_t maxFolderBytes);

  // True when the file's last whole line is a station_end or rotated event.
  static bool IsClosed(const std::string &path);
};

} // namespace qrx::journal
