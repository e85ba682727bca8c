// INI values through the system's own WritePrivateProfileStringA, so the files are written
// exactly as every other Windows program writes them.
#include "platform/ini_file.h"

#include "platform/file_system.h"

#include <windows.h>
// The facility's own name, not the system's A/W macro.
#undef WritePrivateProfileString

#include <atomic>

namespace qrx::platform {
bool WritePrivateProfileString(const char *section, const char *key, const char *value,
                               const std::string &path) {
  if (!section || path.empty() || IsDirectory(path)) return false;
  // The name goes to the system as the plug-in gave it: a bare name is a file in the Windows
  // folder for WritePrivateProfileStringA as for the plug-in's own GetPrivateProfileStringA.
  return ::WritePrivateProfileStringA(section, key, value, path.c_str()) != 0;
}

namespace {
// Where the system's profile functions keep a file: a bare name lives in the Windows folder,
// anything with a folder in it is taken as given.
std::string ProfileFileLocation(const std::string &name) {
  if (name.find_first_of("\\/:") != std::string::npos) return name;
  char dir[MAX_PATH + 1] = {};
  const UINT n = ::GetWindowsDirectoryA(dir, sizeof dir);
  if (n == 0 || n > MAX_PATH) return name;
  return std::string(dir) + "\\" + name;
}
} // namespace

bool WritePrivateProfileStrings(const std::string &name,
                                std::initializer_list<ProfileValue> values) {
  const std::string path = ProfileFileLocation(name);
  if (path.empty() || IsDirectory(path)) return false;
  // The system writes each value into a copy beside the file; the copy then replaces the file
  // in one step, so a failure on the way leaves the file as it was.
  std::string contents, error;
  if (FileExists(path) && !ReadWholeFile(path, &contents, &error)) return false;
  static std::atomic<unsigned> counter{0};
  const std::string copy = path + ".profile" + std::to_string(::GetCurrentProcessId()) + "-" +
                           std::to_string(counter.fetch_add(1));
  bool done = ReplaceFileAtomically(copy, contents, &error);
  for (const ProfileValue &v : values)
    done = done && v.section &&
           ::WritePrivateProfileStringA(v.section, v.key, v.value, copy.c_str()) != 0;
  std::string updated;
  done = done && ReadWholeFile(copy, &updated, &error) &&
         ReplaceFileAtomically(path, updated, &error);
  ::DeleteFileA(copy.c_str());
  return done;
}

std::string SetProfileValue(std::string_view contents, std::string_view section,
                            const char *key, const char *value) {
  // The system's rules applied to a scratch copy of the text in the temporary folder.
  static std::atomic<unsigned> counter{0};
  char dir[MAX_PATH + 1] = {};
  DWORD n = ::GetTempPathA(sizeof dir, dir);
  if (n == 0 || n > MAX_PATH) return std::string(contents);
  const std::string scratch = std::string(dir) + "qrx-profile-" +
                              std::to_string(::GetCurrentProcessId()) + "-" +
                              std::to_string(counter.fetch_add(1)) + ".ini";
  std::string error;
  std::string out(contents);
  if (ReplaceFileAtomically(scratch, contents, &error)) {
    const std::string sectionName(section);
    if (::WritePrivateProfileStringA(sectionName.c_str(), key, value, scratch.c_str()))
      ReadWholeFile(scratch, &out, &error);
    ::DeleteFileA(scratch.c_str());
  }
  return out;
}

} // namespace qrx::platform
