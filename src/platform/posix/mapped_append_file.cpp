// Mapped append-only files through posix_fallocate() and mmap(MAP_SHARED). The window is
// allocated with real blocks before it is mapped: a full disk fails the allocation with a
// result code, never a store into the mapping (which would raise SIGBUS).
//
// The first store into each page of a fresh mapping costs a fault however the window was
// populated, and on a virtual machine with shadow page tables that is several microseconds a
// page: more than formatting a whole event. A writer that fills its windows quickly therefore
// gets windows aligned to, and mapped in, large pages where the file system's page cache has
// them (one fault per 2 MiB). A slow writer keeps small pages: a large page dirtied again after
// write-back is written back whole, which a few events a minute must not cost.
#include "platform/mapped_append_file.h"

#include "platform/fault_injection.h"
#include "platform/system_error.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>

namespace qrx::platform {
namespace {

constexpr uint64_t kLargePage = 2u << 20;
// A writer that filled its last window at this many bytes a second or more gets large pages:
// a large page rewritten at each write-back (every 30 s by default) then at most doubles
// what reaches the disk.
constexpr uint64_t kFastBytesPerSecond = 64u << 10;

int64_t SteadyNs() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

// Maps length bytes of fd from offset (a multiple of the page size) at an address that is as
// far from a multiple of align as offset is: file offsets that are multiples of align then lie
// at such addresses too. MAP_FAILED on failure.
void *MapAligned(int fd, uint64_t offset, uint64_t length, uint64_t align) {
  if (align <= static_cast<uint64_t>(::sysconf(_SC_PAGESIZE)))
    return ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd,
                  static_cast<off_t>(offset));
  // Reserve room for the alignment, then put the file over the right part of it.
  void *reserved = ::mmap(nullptr, length + align, PROT_NONE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (reserved == MAP_FAILED) return MAP_FAILED;
  char *const from = static_cast<char *>(reserved);
  const uintptr_t skew = static_cast<uintptr_t>(offset % align);
  char *const at = reinterpret_cast<char *>(
      ((reinterpret_cast<uintptr_t>(from) + align - 1 - skew) & ~static_cast<uintptr_t>(align - 1)) + skew);
  void *view = ::mmap(at, length, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd,
                      static_cast<off_t>(offset));
  if (view == MAP_FAILED) {
    const int err = errno;
    ::munmap(from, length + align);
    errno = err;
    return MAP_FAILED;
  }
  if (at > from) ::munmap(from, static_cast<size_t>(at - from));
  if (from + length + align > at + length)
    ::munmap(at + length, static_cast<size_t>(from + length + align - (at + length)));
  return view;
}

} // namespace

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
  size_ = end_ = windowSize_ = static_cast<uint64_t>(st.st_size);
  if (windowNs_ != 0) windowNs_ = SteadyNs();
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
  const int64_t now = SteadyNs();
  if (windowNs_ != 0) {
    // Judged on half a large page at least, or as soon as the writer is plainly slower.
    const uint64_t filled = size_ - std::min(size_, windowSize_);
    const uint64_t fastBytes = kFastBytesPerSecond * static_cast<uint64_t>(now - windowNs_) /
                               1'000'000'000;
    if (filled >= kLargePage / 2 || fastBytes >= kLargePage / 2)
      fastWriter_ = filled >= fastBytes;
  }
  const bool large = fastWriter_ && segment_ >= kLargePage / 2;
  int err = ShouldFail(Fault::kFileWrite) ? ENOSPC : 0;
  if (!err && wanted > end_) {
    // A segment ahead, or in large pages to the end of the one that wanted ends in (the mapped
    // part, which counts as the process's memory, stays at most a large page and a small one);
    // on a nearly full disk (or under a file-size limit) just what is needed.
    const uint64_t target =
        large ? (wanted + kLargePage - 1) / kLargePage * kLargePage : wanted + segment_;
    err = ::posix_fallocate(fd, static_cast<off_t>(end_), static_cast<off_t>(target - end_));
    if (err) err = ::posix_fallocate(fd, static_cast<off_t>(end_), static_cast<off_t>(wanted - end_));
    struct stat st {};
    if (::fstat(fd, &st) == 0) end_ = std::max(end_, static_cast<uint64_t>(st.st_size));
  }
  if (!err) {
    const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    viewOffset_ = size_ / page * page;
    void *view = MapAligned(fd, viewOffset_, end_ - viewOffset_, large ? kLargePage : page);
    if (view != MAP_FAILED) {
      view_ = static_cast<char *>(view);
      if (large) (void)::madvise(view, end_ - viewOffset_, MADV_HUGEPAGE);
      (void)::madvise(view, end_ - viewOffset_, MADV_POPULATE_WRITE);
      windowSize_ = size_;
      windowNs_ = now;
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
