// Append-only files through CreateFileA(FILE_APPEND_DATA) and WriteFile.
#include "platform/append_file.h"

#include "platform/fault_injection.h"
#include "platform/system_error.h"

#include <windows.h>

namespace qrx::platform {
namespace {

HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

} // namespace

AppendFile::~AppendFile() { Close(); }

bool AppendFile::Open(const std::string &path, std::string *error) {
  Close();
  // Append access alone: every WriteFile then lands at the end of the file, whoever else
  // writes it.
  HANDLE h = ::CreateFileA(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  LARGE_INTEGER size{};
  if (h == INVALID_HANDLE_VALUE || !::GetFileSizeEx(h, &size)) {
    const DWORD code = ::GetLastError();
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    if (error) *error = SystemErrorText(code);
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  size_ = static_cast<uint64_t>(size.QuadPart);
  path_ = path;
  return true;
}

bool AppendFile::Append(std::string_view data, std::string *error) {
  if (handle_ == kClosed) {
    if (error) *error = SystemErrorText(ERROR_INVALID_HANDLE);
    return false;
  }
  DWORD code = ShouldFail(Fault::kFileWrite) ? ERROR_DISK_FULL : 0;
  DWORD written = 0;
  if (!code && !::WriteFile(AsHandle(handle_), data.data(), static_cast<DWORD>(data.size()),
                            &written, nullptr))
    code = ::GetLastError();
  if (!code && written == data.size()) {
    size_ += data.size();
    return true;
  }
  if (!code) {
    // Cut short: take the part back through a handle that may set the end of the file.
    code = ERROR_DISK_FULL;
    HANDLE w = ::CreateFileA(path_.c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (w != INVALID_HANDLE_VALUE) {
      LARGE_INTEGER end{};
      end.QuadPart = static_cast<LONGLONG>(size_);
      if (::SetFilePointerEx(w, end, nullptr, FILE_BEGIN)) ::SetEndOfFile(w);
      ::CloseHandle(w);
    }
  }
  if (error) *error = SystemErrorText(code);
  return false;
}

void AppendFile::Close() {
  if (handle_ == kClosed) return;
  ::CloseHandle(AsHandle(handle_));
  handle_ = kClosed;
  size_ = 0;
}

} // namespace qrx::platform
