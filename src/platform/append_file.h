// An append-only file for logs that several writers may share: every append lands whole at the
// end of the file in one system call (O_APPEND on POSIX systems, FILE_APPEND_DATA on Windows).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qrx::platform {

class AppendFile {
public:
  AppendFile() = default;
  ~AppendFile();
  AppendFile(const AppendFile &) = delete;
  AppendFile &operator=(const AppendFile &) = delete;

  // Opens the file for appending, creating it when missing. False with the system's message.
  bool Open(const std::string &path, std::string *error);
  // Appends data with one write. A write that the system cuts short (a full disk, a file-size
  // limit) is taken back, so a failed append never leaves part of it in the file. No flush to
  // the disk: the data is the system's once this returns.
  bool Append(std::string_view data, std::string *error);
  void Close();
  bool IsOpen() const { return handle_ != kClosed; }
  // Bytes in the file: its size when opened plus what this object appended since.
  uint64_t Size() const { return size_; }

private:
  static constexpr intptr_t kClosed = -1;
  intptr_t handle_ = kClosed; // file descriptor, or a HANDLE on Windows
  uint64_t size_ = 0;
  std::string path_;
};

} // namespace qrx::platform
