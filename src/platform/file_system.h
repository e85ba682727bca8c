// File access the services need: whole-file reads, atomic replacement, change stamps.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qrx::platform {

bool FileExists(const std::string &path);
bool IsDirectory(const std::string &path);

// Creates the folder and any missing parents; true when it exists afterwards. On failure
// *error holds the system's message.
bool CreateDirectories(const std::string &path, std::string *error);

// The plain files directly in a folder (no subfolders), in no particular order; false when
// the folder cannot be read.
struct FolderFile {
  std::string name;
  uint64_t size = 0;
};
bool ListFiles(const std::string &folder, std::vector<FolderFile> *out);

// Removes a file; false when it could not be removed (or was not there).
bool RemoveFile(const std::string &path);

// Up to maxBytes from the end of the file; false when it cannot be read.
bool ReadFileTail(const std::string &path, size_t maxBytes, std::string *tail);

// Reads the whole file. On failure returns false and puts the system's message in *error.
bool ReadWholeFile(const std::string &path, std::string *data, std::string *error);

// Replaces the file with data: written to a temporary file in the same folder, flushed, then
// renamed over the target, so a crash or a full disk never leaves a half-written file. On
// failure the old file is intact and *error holds the system's message.
bool ReplaceFileAtomically(const std::string &path, std::string_view data, std::string *error);

// Creates the file with data only if it does not exist yet: written whole to a temporary file
// beside it, then linked into place, so a file that another process or thread created (or
// already changed) in the meantime is never overwritten. False when the file exists or on
// failure (*error then holds the system's message).
bool CreateFileExclusively(const std::string &path, std::string_view data, std::string *error);

// What identifies one version of a file: a changed stamp means the file changed. The
// status-change time cannot be set by user code and moves with every write, so a rewrite in
// place that keeps the size and puts the modification time back (as `cp -p` or `touch -r` do)
// still changes the stamp, unless it happens within the same tick of the file system's clock
// as the change before it (see FileChangedRecently).
struct FileStamp {
  bool exists = false;
  uint64_t size = 0;
  int64_t mtimeNs = 0;
  int64_t ctimeNs = 0;
  uint64_t inode = 0;
  uint64_t device = 0;
  bool operator==(const FileStamp &) const = default;
};
FileStamp StatFile(const std::string &path);

// True when the stamped file changed so recently that another write could still land within
// the same tick of the clock that stamps files, and so leave the stamp as it is. A cache keyed
// on the stamp must not trust such a stamp for longer than the call that took it.
bool FileChangedRecently(const FileStamp &stamp);

} // namespace qrx::platform
