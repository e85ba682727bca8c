// Mapped append-only files through SetEndOfFile, CreateFileMappingA and MapViewOfFile. The
// file is lengthened before a view of the new part is mapped: a full disk fails SetEndOfFile
// with a result code, never a store into the view.
#include "platform/mapped_append_file.h"

#include "platform/fault_injection.h"
#include "platform/system_error.h"

#include <windows.h>

#include <algorithm>

namespace qrx::platform {
namespace {

HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

bool SetLength(HANDLE file, uint64_t length) {
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(length);
  return ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

} // namespace

bool MappedAppendFile::Open(const std::string &path, std::string *error) {
  Close();
  // Readers may read, rename and remove the file while it is written.
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
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
  size_ = end_ = static_cast<uint64_t>(size.QuadPart);
  return true;
}

void MappedAppendFile::Unmap() {
  if (view_) ::UnmapViewOfFile(view_);
  view_ = nullptr;
  if (mapping_) ::CloseHandle(AsHandle(mapping_));
  mapping_ = 0;
}

bool MappedAppendFile::Grow(size_t need, std::string *error) {
  if (handle_ == kClosed) {
    if (error) *error = SystemErrorText(ERROR_INVALID_HANDLE);
    return false;
  }
  const HANDLE file = AsHandle(handle_);
  Unmap(); // a mapped file cannot change its length
  const uint64_t wanted = size_ + std::max<uint64_t>(need, 1);
  DWORD code = ShouldFail(Fault::kFileWrite) ? ERROR_DISK_FULL : 0;
  if (!code && wanted > end_) {
    // A segment ahead; on a nearly full disk just what is needed.
    if (SetLength(file, wanted + segment_)) end_ = wanted + segment_;
    else if (SetLength(file, wanted)) end_ = wanted;
    else code = ::GetLastError();
  }
  if (!code) {
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    const uint64_t granularity = system.dwAllocationGranularity;
    viewOffset_ = size_ / granularity * granularity;
    HANDLE mapping = ::CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    void *view = mapping ? ::MapViewOfFile(mapping, FILE_MAP_WRITE,
                                           static_cast<DWORD>(viewOffset_ >> 32),
                                           static_cast<DWORD>(viewOffset_),
                                           static_cast<SIZE_T>(end_ - viewOffset_))
                         : nullptr;
    if (view) {
      mapping_ = reinterpret_cast<intptr_t>(mapping);
      view_ = static_cast<char *>(view);
      return true;
    }
    code = ::GetLastError();
    if (mapping) ::CloseHandle(mapping);
  }
  if (error) *error = SystemErrorText(code);
  return false;
}

void MappedAppendFile::Close() {
  if (handle_ == kClosed) return;
  Unmap();
  if (end_ > size_) SetLength(AsHandle(handle_), size_);
  ::CloseHandle(AsHandle(handle_));
  handle_ = kClosed;
  size_ = end_ = viewOffset_ = 0;
}

} // namespace qrx::platform
