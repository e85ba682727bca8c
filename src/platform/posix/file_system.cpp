// Whole-file reads, atomic replacement (temporary file beside the target, then rename) and
// file stamps for change detection.
#include "platform/file_system.h"

#include "platform/fault_injection.h"
#include "platform/system_error.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace qrx::platform {

bool FileExists(const std::string &path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string &path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ReadWholeFile(const std::string &path, std::string *data, std::string *error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = SystemErrorText(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    if (error) *error = S_ISDIR(st.st_mode) ? SystemErrorText(EISDIR) : SystemErrorText(errno);
    ::close(fd);
    return false;
  }
  // Read straight into the string, sized by the file's length: a large settings file is then
  // neither copied through a buffer nor moved as the string grows. A file that grows while
  // being read still comes in whole.
  data->clear();
  size_t used = 0;
  data->resize(st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 65536);
  for (;;) {
    if (used == data->size()) data->resize(data->size() * 2);
    ssize_t n = ::read(fd, data->data() + used, data->size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (error) *error = SystemErrorText(errno);
      ::close(fd);
      data->clear();
      return false;
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  data->resize(used);
  ::close(fd);
  return true;
}

bool ReplaceFileAtomically(const std::string &path, std::string_view data, std::string *error) {
  std::random_device rd;
  std::string temp = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(rd());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error) *error = SystemErrorText(errno);
    return false;
  }
  auto fail = [&](int err) {
    if (error) *error = SystemErrorText(err);
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  };
  if (ShouldFail(Fault::kFileWrite)) return fail(ENOSPC);
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0) return fail(errno);
  // Keep the permissions of the file being replaced.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    if (error) *error = SystemErrorText(err);
    return false;
  }
  if (ShouldFail(Fault::kFileRename) || ::rename(temp.c_str(), path.c_str()) != 0) {
    int err = errno ? errno : EIO;
    ::unlink(temp.c_str());
    if (error) *error = SystemErrorText(err);
    return false;
  }
  return true;
}

bool CreateFileExclusively(const std::string &path, std::string_view data, std::string *error) {
  std::random_device rd;
  std::string temp = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(rd());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error) *error = SystemErrorText(errno);
    return false;
  }
  int err = 0;
  if (ShouldFail(Fault::kFileWrite)) err = ENOSPC;
  for (size_t done = 0; !err && done < data.size();) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) err = errno;
    else done += static_cast<size_t>(n);
  }
  if (!err && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && !err) err = errno;
  // link() fails with EEXIST instead of replacing a file that appeared meanwhile.
  if (!err && ::link(temp.c_str(), path.c_str()) != 0) {
    err = errno;
    // File systems without hard links: rename, after checking once more that none appeared.
    if (err == EPERM || err == EOPNOTSUPP || err == ENOSYS || err == EMLINK) {
      struct stat st {};
      err = ::lstat(path.c_str(), &st) == 0 ? EEXIST
            : ::rename(temp.c_str(), path.c_str()) == 0 ? 0 : errno;
    }
  }
  ::unlink(temp.c_str());
  if (err && error) *error = SystemErrorText(err);
  return err == 0;
}

FileStamp StatFile(const std::string &path) {
  FileStamp s;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return s;
  s.exists = true;
  s.size = static_cast<uint64_t>(st.st_size);
  s.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.ctimeNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  s.inode = st.st_ino;
  s.device = st.st_dev;
  return s;
}

bool FileChangedRecently(const FileStamp &stamp) {
  // The kernel stamps files from its coarse clock, which advances once per scheduler tick
  // (at most 10 ms); 50 ms leaves room for a late reader and file systems that round further.
  constexpr int64_t kStampTickNs = 50'000'000;
  if (!stamp.exists) return false;
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  const int64_t nowNs = static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
  return nowNs - stamp.ctimeNs < kStampTickNs;
}

bool CreateDirectories(const std::string &path, std::string *error) {
  if (path.empty()) {
    if (error) *error = SystemErrorText(ENOENT);
    return false;
  }
  if (IsDirectory(path)) return true;
  const size_t slash = path.find_last_of('/', path.size() - 2);
  if (slash != std::string::npos && slash > 0 &&
      !CreateDirectories(path.substr(0, slash), error))
    return false;
  if (::mkdir(path.c_str(), 0755) != 0 && !(errno == EEXIST && IsDirectory(path))) {
    if (error) *error = SystemErrorText(errno);
    return false;
  }
  return true;
}

bool ListFiles(const std::string &folder, std::vector<FolderFile> *out) {
  out->clear();
  DIR *dir = ::opendir(folder.c_str());
  if (!dir) return false;
  const int dirFd = ::dirfd(dir);
  while (const dirent *entry = ::readdir(dir)) {
    struct stat st {};
    if (::fstatat(dirFd, entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
    out->push_back({entry->d_name, static_cast<uint64_t>(st.st_size)});
  }
  ::closedir(dir);
  return true;
}

bool RemoveFile(const std::string &path) { return ::unlink(path.c_str()) == 0; }

bool ReadFileTail(const std::string &path, size_t maxBytes, std::string *tail) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0;
  if (ok) {
    const off_t size = st.st_size;
    const off_t from = size > static_cast<off_t>(maxBytes) ? size - static_cast<off_t>(maxBytes) : 0;
    tail->assign(static_cast<size_t>(size - from), '\0');
    const ssize_t n = tail->empty() ? 0 : ::pread(fd, tail->data(), tail->size(), from);
    ok = n >= 0;
    tail->resize(ok ? static_cast<size_t>(n) : 0);
  }
  ::close(fd);
  return ok;
}

} // namespace qrx::platform
