// Reads "ConfigVersion" from the root "phone" of a package's configuration file.
#include "hub/qrx_package_manager_service.h"

#include "platform/module_path.h"
#include "xml/xml_document.h"

#include <algorithm>

namespace qrx {

std::string CQRXPackageManagerService::ConfigFileName(const std::string &packageName) {
  std::string name = packageName;
  // Hosts written for Windows may name a package inside a sub-folder with backslashes.
  std::replace(name.begin(), name.end(), '\\', platform::kPathSeparator);
  static const std::string kScript = ".script";
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && name.compare(dot, std::string::npos, kScript) == 0)
    name.replace(dot, std::string::npos, ".config");
  return name;
}

std::string CQRXPackageManagerService::GetConfigVersion(const char *packageName) {
  if (!packageName) return std::string();
  std::string path = platform::ExecutableDirectory() + "BusinessCfg" + platform::kPathSeparator +
                     ConfigFileName(packageName);
  CXmlDocument document;
  if (!document.LoadFile(path)) return std::string();
  document.Rewind();
  if (!document.FindNext("phone")) return std::string();
  return document.GetAttr("ConfigVersion");
}

} // namespace qrx
