// Recording.xml: where the journal goes and how large it may grow.
#include "journal/journal_settings.h"

#include "hub/qrx_setting_file.h"
#include "journal/journal_format.h"
#include "platform/file_system.h"
#include "platform/host_process.h"
#include "platform/module_path.h"

#include <charconv>

namespace qrx::journal {
namespace {

// A positive whole number, or the default.
int64_t PositiveOr(const std::string &text, int64_t fallback) {
  const size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return fallback;
  const size_t end = text.find_last_not_of(" \t\r\n") + 1;
  int64_t value = 0;
  const auto r = std::from_chars(text.data() + begin, text.data() + end, value);
  return r.ec == std::errc() && r.ptr == text.data() + end && value > 0 ? value : fallback;
}

std::string Trimmed(const std::string &text) {
  const size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t\r\n") + 1 - begin);
}

} // namespace

bool JournalSettings::Load(const std::string &stationDirectory, JournalSettings *out) {
  const std::string path = stationDirectory + "BusinessCfg" + platform::kPathSeparator +
                           std::string(recording::kFileName);
  if (!platform::FileExists(path)) return false;
  auto *file = new CQRXSettingFile(path);
  const std::string section(recording::kSection);
  std::string folder = Trimmed(file->GetValue(section, std::string(recording::kFolder)));
  const std::string maxFile = file->GetValue(section, std::string(recording::kMaxFileBytes));
  const std::string maxFolder = file->GetValue(section, std::string(recording::kMaxFolderBytes));
  const std::string required = file->GetValue(section, std::string(recording::kRequired));
  file->Release();

  if (folder.empty()) folder = recording::kDefaultFolder;
  if (!platform::host::IsAbsolutePath(folder)) folder = stationDirectory + folder;
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  out->folder = folder;
  out->maxFileBytes = PositiveOr(maxFile, recording::kDefaultMaxFileBytes);
  out->maxFolderBytes = PositiveOr(maxFolder, recording::kDefaultMaxFolderBytes);
  const std::string flag = Trimmed(required);
  out->required = flag == "1" || CQRXSettingFile::ParseBool(flag);
  return true;
}

} // namespace qrx::journal
