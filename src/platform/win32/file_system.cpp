// Whole-file reads, atomic replacement (temporary file beside the target, then MoveFileExA
// over it) and file stamps for change detection, through the Windows file API.
#include "platform/file_system.h"

#include "platform/fault_injection.h"
#include "platform/system_error.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

namespace qrx::platform {
namespace {

bool Fail(std::string *error, DWORD code) {
  if (error) *error = SystemErrorText(code);
  return false;
}

// Tries of a rename that a reader of the target holds up (about a second in all).
constexpr int kRenameAttempts = 60;

// A name beside the target that no other writer in this or another process uses.
std::string TempNameBeside(const std::string &path) {
  static std::atomic<unsigned> counter{0};
  return path + ".tmp" + std::to_string(::GetCurrentProcessId()) + "-" +
         std::to_string(::GetTickCount()) + "-" + std::to_string(counter.fetch_add(1));
}

// Writes data whole into a new file at temp; on failure the file is removed.
bool WriteNewFile(const std::string &temp, std::string_view data, std::string *error) {
  HANDLE h = ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail(error, ::GetLastError());
  DWORD err = 0;
  if (ShouldFail(Fault::kFileWrite)) err = ERROR_DISK_FULL;
  size_t done = 0;
  while (!err && done < data.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(h, data.data() + done, chunk, &written, nullptr)) err = ::GetLastError();
    else if (written == 0) err = ERROR_WRITE_FAULT;
    done += written;
  }
  if (!err && !::FlushFileBuffers(h)) err = ::GetLastError();
  if (!::CloseHandle(h) && !err) err = ::GetLastError();
  if (err) {
    ::DeleteFileA(temp.c_str());
    return Fail(error, err);
  }
  return true;
}

} // namespace

bool FileExists(const std::string &path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string &path) {
  DWORD a = ::GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadWholeFile(const std::string &path, std::string *data, std::string *error) {
  if (IsDirectory(path)) return Fail(error, ERROR_ACCESS_DENIED);
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                           FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail(error, ::GetLastError());
  data->clear();
  char buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(h, buf, sizeof buf, &n, nullptr)) {
      DWORD err = ::GetLastError();
      ::CloseHandle(h);
      return Fail(error, err);
    }
    if (n == 0) break;
    data->append(buf, n);
  }
  ::CloseHandle(h);
  return true;
}

bool ReplaceFileAtomically(const std::string &path, std::string_view data, std::string *error) {
  const std::string temp = TempNameBeside(path);
  if (!WriteNewFile(temp, data, error)) return false;
  if (ShouldFail(Fault::kFileRename)) {
    ::DeleteFileA(temp.c_str());
    return Fail(error, ERROR_ACCESS_DENIED);
  }
  // One rename over the target: a reader on another thread or in another process opens
  // either the old file or the new one, never none (ReplaceFileA may move the target aside
  // first). The new file takes the target's hidden, system and archive marks; its security is
  // the folder's, as for any file created there.
  const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  if (const DWORD old = ::GetFileAttributesA(path.c_str()); old != INVALID_FILE_ATTRIBUTES && (old & kept))
    ::SetFileAttributesA(temp.c_str(), old & kept);
  // While a reader has the target open the rename is refused: reads are short, so it is tried
  // again for up to about a second before the write counts as failed.
  for (int attempt = 0;; ++attempt) {
    if (::MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    const DWORD err = ::GetLastError();
    const bool busy = err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION ||
                      err == ERROR_LOCK_VIOLATION;
    if (!busy || attempt == kRenameAttempts - 1) {
      ::DeleteFileA(temp.c_str());
      return Fail(error, err);
    }
    ::Sleep(static_cast<DWORD>(std::min(2 * (attempt + 1), 20)));
  }
}

bool CreateFileExclusively(const std::string &path, std::string_view data, std::string *error) {
  const std::string temp = TempNameBeside(path);
  if (!WriteNewFile(temp, data, error)) return false;
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the file appeared meanwhile.
  if (!::MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
    DWORD err = ::GetLastError();
    ::DeleteFileA(temp.c_str());
    return Fail(error, err);
  }
  return true;
}

FileStamp StatFile(const std::string &path) {
  FileStamp s;
  HANDLE h = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return s;
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(h, &info)) {
    s.exists = true;
    s.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    // 100-nanosecond ticks since 1601.
    uint64_t ticks = (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                     info.ftLastWriteTime.dwLowDateTime;
    s.mtimeNs = static_cast<int64_t>(ticks) * 100;
    // The change time moves with every write and no program can set it back.
    FILE_BASIC_INFO basic{};
    if (::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic))
      s.ctimeNs = basic.ChangeTime.QuadPart * 100;
    s.inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    s.device = info.dwVolumeSerialNumber;
  }
  ::CloseHandle(h);
  return s;
}

bool FileChangedRecently(const FileStamp &stamp) {
  // NTFS stamps files from the system time, which moves in ticks of up to about 16 ms;
  // 50 ms leaves room for a late reader.
  constexpr int64_t kStampTickNs = 50'000'000;
  if (!stamp.exists) return false;
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const int64_t nowNs =
      static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime) * 100;
  const int64_t changed = stamp.ctimeNs ? stamp.ctimeNs : stamp.mtimeNs;
  return nowNs - changed < kStampTickNs;
}

bool CreateDirectories(const std::string &path, std::string *error) {
  if (path.empty()) return Fail(error, ERROR_PATH_NOT_FOUND);
  if (IsDirectory(path)) return true;
  const size_t slash = path.find_last_of("\\/", path.size() - 2);
  // Stop at a drive ("C:") or the root of a share.
  if (slash != std::string::npos && slash > 0 && path[slash - 1] != ':' &&
      !CreateDirectories(path.substr(0, slash), error))
    return false;
  if (!::CreateDirectoryA(path.c_str(), nullptr)) {
    const DWORD code = ::GetLastError();
    if (!(code == ERROR_ALREADY_EXISTS && IsDirectory(path))) return Fail(error, code);
  }
  return true;
}

bool ListFiles(const std::string &folder, std::vector<FolderFile> *out) {
  out->clear();
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA data;
  HANDLE find = ::FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    out->push_back({data.cFileName, (static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                                        data.nFileSizeLow});
  } while (::FindNextFileA(find, &data));
  ::FindClose(find);
  return true;
}

bool RemoveFile(const std::string &path) { return ::DeleteFileA(path.c_str()) != 0; }

bool ReadFileTail(const std::string &path, size_t maxBytes, std::string *tail) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = ::GetFileSizeEx(h, &size) != 0;
  if (ok) {
    const LONGLONG from = size.QuadPart > static_cast<LONGLONG>(maxBytes)
                              ? size.QuadPart - static_cast<LONGLONG>(maxBytes)
                              : 0;
    LARGE_INTEGER at{};
    at.QuadPart = from;
    tail->assign(static_cast<size_t>(size.QuadPart - from), '\0');
    DWORD read = 0;
    ok = ::SetFilePointerEx(h, at, nullptr, FILE_BEGIN) &&
         (tail->empty() || ::ReadFile(h, tail->data(), static_cast<DWORD>(tail->size()), &read, nullptr));
    tail->resize(ok ? read : 0);
  }
  ::CloseHandle(h);
  return ok;
}

} // namespace qrx::platform
