// Append-only files through open(O_APPEND) and write().
#include "platform/append_file.h"

#include "platform/fault_injection.h"
#include "platform/system_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qrx::platform {

AppendFile::~AppendFile() { Close(); }

bool AppendFile::Open(const std::string &path, std::string *error) {
  Close();
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    if (error) *error = SystemErrorText(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  handle_ = fd;
  size_ = static_cast<uint64_t>(st.st_size);
  path_ = path;
  return true;
}

bool AppendFile::Append(std::string_view data, std::string *error) {
  if (handle_ == kClosed) {
    if (error) *error = SystemErrorText(EBADF);
    return false;
  }
  const int fd = static_cast<int>(handle_);
  int err = ShouldFail(Fault::kFileWrite) ? ENOSPC : 0;
  ssize_t n = -1;
  if (!err) {
    do n = ::write(fd, data.data(), data.size());
    while (n < 0 && errno == EINTR);
    if (n < 0) err = errno;
  }
  if (!err && static_cast<size_t>(n) == data.size()) {
    size_ += data.size();
    return true;
  }
  if (!err) {
    // Cut short: take the part back so the next append starts a fresh line. The file is this
    // object's alone while it writes, so its size before the write is known.
    err = ENOSPC;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && static_cast<uint64_t>(st.st_size) > size_)
      (void)::ftruncate(fd, static_cast<off_t>(size_));
  }
  if (error) *error = SystemErrorText(err);
  return false;
}

void AppendFile::Close() {
  if (handle_ == kClosed) return;
  ::close(static_cast<int>(handle_));
  handle_ = kClosed;
  size_ = 0;
}

} // namespace qrx::platform
