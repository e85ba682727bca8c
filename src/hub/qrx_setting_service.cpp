// Setting service: builds the path of a setting file and hands out a fresh file object.
#include "hub/qrx_setting_service.h"

#include "platform/module_path.h"

#include <algorithm>
#include <new>

namespace qrx {
namespace {
const char kDefaultFolder[] = "BusinessCfg";

// Test libraries written for Windows name sub-folders with backslashes.
std::string WithSlashes(std::string name) {
  std::replace(name.begin(), name.end(), '\\', platform::kPathSeparator);
  return name;
}
} // namespace

CString CQRXSettingService::PathOf(const CString &fileName, const CString &folder) const {
  std::string path = rootDirectory_;
  path += folder.empty() ? std::string(kDefaultFolder) : WithSlashes(folder);
  path += platform::kPathSeparator;
  path += WithSlashes(fileName);
  return path;
}

CQRXSettingFile *CQRXSettingService::Open(const CString &fileName, const CString &folder) {
  return new (std::nothrow) CQRXSettingFile(PathOf(fileName, folder));
}

} // namespace qrx
