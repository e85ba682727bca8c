// Mapped append-only files through posix_fallocate() and mmap(MAP_SHARED). The window is
// allocated with real blocks before it is mapped: a full disk fails the allocation with a
// result code, never a store into the mapping (which would raise SIGBUS).
#include "platform/mapped_append_file.h"

#include "platform/fault_injection.h"
#include "platform/system_error.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace qrx::platform {

bool MappedAppendFile::Open(const std::string &path, std::string *error) {
  Close();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    if (error) *error = SystemErrorText(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  handle_ = fd;
  size_ = end_ = static_cast<uint64_t>(st.st_size);
  return true;
}

void MappedAppendFile::Unmap() {
  if (view_) ::munmap(view_, end_ - viewOffset_);
  view_ = nullptr;
}

bool MappedAppendFile::Grow(size_t need, std::string *error) {
  if (handle_ == kClosed) {
    if (error) *error = SystemErrorText(EBADF);
    return false;
  }
  const int fd = static_cast<int>(handle_);
  Unmap();
  const uint64_t wanted = size_ + std::max<uint64_t>(need, 1);
  int err = ShouldFail(Fault::kFileWrite) ? ENOSPC : 0;
  if (!err && wanted > end_) {
    // A segment ahead; on a nearly full disk (or under a file-size limit) just what is needed.
    err = ::posix_fallocate(fd, static_cast<off_t>(end_),
                            static_cast<off_t>(wanted + segment_ - end_));
    if (err) err = ::posix_fallocate(fd, static_cast<off_t>(end_), static_cast<off_t>(wanted - end_));
    struct stat st {};
    if (::fstat(fd, &st) == 0) end_ = std::max(end_, static_cast<uint64_t>(st.st_size));
  }
  if (!err) {
    const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    viewOffset_ = size_ / page * page;
    void *view = ::mmap(nullptr, end_ - viewOffset_, PROT_READ | PROT_WRITE, MAP_SHARED, fd,
                        static_cast<off_t>(viewOffset_));
    if (view != MAP_FAILED) {
      view_ = static_cast<char *>(view);
      (void)::madvise(view, end_ - viewOffset_, MADV_POPULATE_WRITE);
      return true;
    }
    err = errno;
  }
  if (error) *error = SystemErrorText(err);
  return false;
}

void MappedAppendFile::Close() {
  if (handle_ == kClosed) return;
  Unmap();
  const int fd = static_cast<int>(handle_);
  if (end_ > size_) (void)::ftruncate(fd, static_cast<off_t>(size_));
  ::close(fd);
  handle_ = kClosed;
  size_ = end_ = viewOffset_ = 0;
}

} // namespace qrx::platform
