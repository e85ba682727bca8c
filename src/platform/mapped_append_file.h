// An append-only file written through a shared memory mapping: each append is one memcpy into
// a window of the file that is allocated ahead of the writer, so the data is the system's (and
// survives the writer being killed) as soon as the copy is done, without a system call per
// append. The file carries a tail of zero bytes beyond what was appended until it is closed,
// when it is cut to its appended length; a reader takes the first zero byte as the end of what
// has been written so far. Used by one writer at a time.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace qrx::platform {

class MappedAppendFile {
public:
  // segmentBytes: how far ahead of the writer the file is allocated and mapped.
  explicit MappedAppendFile(uint64_t segmentBytes = 1u << 20) : segment_(segmentBytes) {}
  ~MappedAppendFile() { Close(); }
  MappedAppendFile(const MappedAppendFile &) = delete;
  MappedAppendFile &operator=(const MappedAppendFile &) = delete;

  // Opens the file, creating it when missing; appends go after its present bytes. False with
  // the system's message.
  bool Open(const std::string &path, std::string *error);
  // Appends data whole. When it does not fit in what is allocated, the file is first allocated
  // a segment further (or, on a nearly full disk, just as far as data needs). False with the
  // system's message when there is no room: nothing of data is in the file then.
  bool Append(std::string_view data, std::string *error) {
    if ((!view_ || data.size() > end_ - size_) && !Grow(data.size(), error)) return false;
    std::memcpy(view_ + (size_ - viewOffset_), data.data(), data.size());
    size_ += data.size();
    return true;
  }
  // Unmaps the file and cuts it to the appended length.
  void Close();
  bool IsOpen() const { return handle_ != kClosed; }
  // Bytes appended: the file's length once it is closed.
  uint64_t Size() const { return size_; }
  void SetSegmentBytes(uint64_t bytes) { segment_ = bytes; }

private:
  // Allocates the file so that at least need more bytes fit, and maps the window from the
  // append position to the new end.
  bool Grow(size_t need, std::string *error);
  void Unmap();

  static constexpr intptr_t kClosed = -1;
  intptr_t handle_ = kClosed;  // file descriptor, or a HANDLE on Windows
  intptr_t mapping_ = 0;       // the file-mapping object on Windows
  char *view_ = nullptr;       // file bytes from viewOffset_ to end_
  uint64_t viewOffset_ = 0;
  uint64_t end_ = 0;           // allocated length of the file, the end of the view
  uint64_t size_ = 0;          // appended length
  uint64_t segment_;
  // size_ when the view was mapped last, and when (steady clock, ns): how fast the writer goes,
  // which a file of the same writer opened next inherits.
  uint64_t windowSize_ = 0;
  int64_t windowNs_ = 0;
  bool fastWriter_ = false;
};

} // namespace qrx::platform
