// Temporary folders, whole-file reads and writes and file permissions for tests, the same on POSIX systems and
// Windows.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace qrx::test {

inline std::string ReadBytes(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void WriteBytes(const std::filesystem::path &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// True where taking a file's read permission away keeps this process from reading it: not on
// Windows (the permission bits there only set the read-only attribute), nor for the superuser.
inline bool ReadPermissionBinds() {
#ifdef _WIN32
  return false;
#else
  return ::geteuid() != 0;
#endif
}

// A folder of its own in the temporary folder, removed with everything in it at the end.
class TempFolder {
public:
  explicit TempFolder(const std::string &tag) {
    std::random_device random;
    do root_ = std::filesystem::temp_directory_path() / ("qrx-" + tag + "-" + std::to_string(random()));
    while (!std::filesystem::create_directory(root_));
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  TempFolder(const TempFolder &) = delete;
  TempFolder &operator=(const TempFolder &) = delete;
  const std::filesystem::path &Root() const { return root_; }
  // Writes a file below the folder and gives its path.
  std::string Write(const std::string &relative, const std::string &bytes) const {
    WriteBytes(root_ / relative, bytes);
    return (root_ / relative).string();
  }
  std::string Read(const std::string &relative) const { return ReadBytes(root_ / relative); }

protected:
  std::filesystem::path root_;
};

} // namespace qrx::test
