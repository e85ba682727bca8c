// A temporary station directory for the export tests: TestDll/ with the five test libraries
// under their Linux names, Plugins/ with the four BI plug-ins, and BusinessCfg/Common.xml
// giving every section and key of the export catalogue a staging name of its own.
#pragma once

#include "interface/export_catalogue.h"
#include "platform/module_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>

namespace qrx::test {

using SectionKey = std::pair<std::string, std::string>;
using StagingNames = std::map<SectionKey, std::string>;

// Every section and key that some export stages, each with its own name.
inline StagingNames CatalogueStagingNames() {
  StagingNames names;
  for (const ExportRow &row : kExportCatalogue)
    for (const StagedEntry &e : row.staged)
      names[{std::string(e.section), std::string(e.key)}] =
          "stg_" + std::string(e.section) + "_" + std::string(e.key);
  return names;
}

// The file text that maps `names`, grouped by section as a deployer writes it.
inline std::string CommonXml(const StagingNames &names) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Common>\r\n";
  std::string open;
  for (const auto &[sk, name] : names) {
    if (sk.first != open) {
      if (!open.empty()) xml += "  </" + open + ">\r\n";
      open = sk.first;
      xml += "  <" + open + ">\r\n";
    }
    xml += "    <" + sk.second + ">" + name + "</" + sk.second + ">\r\n";
  }
  if (!open.empty()) xml += "  </" + open + ">\r\n";
  return xml + "</Common>\r\n";
}

inline const char *const kTestLibraryFiles[] = {"TestDllQRXCal.so", "GsmFt.so", "TDFT.so",
                                                "FinalTestLTE.so", "WiFi_DLL.so"};

// The library file of each test-library service.
inline std::string LibraryFileOf(ExportService service) {
  switch (service) {
  case ExportService::kCal: return "TestDllQRXCal.so";
  case ExportService::kGsmFt: return "GsmFt.so";
  case ExportService::kTdFt: return "TDFT.so";
  case ExportService::kLteFt: return "FinalTestLTE.so";
  case ExportService::kWifi: return "WiFi_DLL.so";
  default: return "";
  }
}

class ExportDeployment {
public:
  // `library` is deployed as each of the five test libraries.
  explicit ExportDeployment(const std::string &library) {
    namespace fs = std::filesystem;
    char tmpl[] = "/tmp/qrx-exports-XXXXXX";
    root_ = ::mkdtemp(tmpl);
    fs::create_directories(root_ / "TestDll");
    fs::create_directories(root_ / "BusinessCfg");
    fs::create_directories(root_ / "Plugins");
    for (const char *name : {"BI_QRX.so", "BI_GSM_QRX.so", "XA_BIAR9344.so", "BI_QRX_UFI_NET.so"})
      fs::copy_file(QRX_TEST_PLUGIN, root_ / "Plugins" / name);
    for (const char *name : kTestLibraryFiles) fs::copy_file(library, root_ / "TestDll" / name);
    WriteCommon(CatalogueStagingNames());
    old_ = fs::current_path();
    fs::current_path(root_);
    // The statically linked test stands in for a library deployed in root_.
    platform::OverrideModuleDirectory(root_.string() + "/");
  }
  ~ExportDeployment() {
    platform::OverrideModuleDirectory(std::string());
    std::filesystem::current_path(old_);
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  ExportDeployment(const ExportDeployment &) = delete;
  ExportDeployment &operator=(const ExportDeployment &) = delete;

  const std::filesystem::path &Root() const { return root_; }
  std::filesystem::path CommonPath() const { return root_ / "BusinessCfg" / "Common.xml"; }

  // Replaces the file by a new one (a new inode), as an editor saving it would.
  void WriteCommon(const StagingNames &names) const {
    const auto temp = CommonPath().string() + ".tmp";
    { std::ofstream(temp, std::ios::binary) << CommonXml(names); }
    std::filesystem::rename(temp, CommonPath());
  }
  // Rewrites the file where it is (same inode) and moves its modification time by `seconds`,
  // so only the content and the time tell the change.
  void RewriteCommonInPlace(const StagingNames &names, int seconds) const {
    struct stat before {};
    ::stat(CommonPath().c_str(), &before);
    { std::ofstream(CommonPath(), std::ios::binary | std::ios::trunc) << CommonXml(names); }
    struct timespec times[2] = {before.st_atim, before.st_mtim};
    times[1].tv_sec += seconds;
    ::utimensat(AT_FDCWD, CommonPath().c_str(), times, 0);
  }

private:
  std::filesystem::path root_;
  std::filesystem::path old_;
};

} // namespace qrx::test
