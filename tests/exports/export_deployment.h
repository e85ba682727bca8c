// The export tests' station folder: BusinessCfg/Common.xml gives every section and key of the
// export catalogue a staging name of its own.
#pragma once

#include "interface/export_catalogue.h"
#include "../support/station_folder.h"

#include <chrono>
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

// The library file of each test-library service.
inline std::string LibraryFileOf(ExportService service) {
  const size_t index = static_cast<size_t>(service) - static_cast<size_t>(ExportService::kCal);
  return index < 5 ? kTestLibraryNames[index] + std::string(kLibrarySuffix) : "";
}

// `library` deployed as each of the five test libraries, the minimal plug-in as the four.
class ExportDeployment : public StationFolder {
public:
  explicit ExportDeployment(const std::string &library) : StationFolder("exports") {
    DeployPlugins(QRX_TEST_PLUGIN);
    DeployTestLibraries(library);
    WriteCommon(CatalogueStagingNames());
  }
  std::filesystem::path CommonPath() const { return Root() / "BusinessCfg" / "Common.xml"; }

  // Replaces the file by a new one (a new inode), as an editor saving it would.
  void WriteCommon(const StagingNames &names) const {
    const auto temp = CommonPath().string() + ".tmp";
    { std::ofstream(temp, std::ios::binary) << CommonXml(names); }
    std::filesystem::rename(temp, CommonPath());
  }
  // Rewrites the file where it is (same inode) and moves its modification time by `seconds`,
  // so only the content and the time tell the change.
  void RewriteCommonInPlace(const StagingNames &names, int seconds) const {
    const auto time = std::filesystem::last_write_time(CommonPath());
    { std::ofstream(CommonPath(), std::ios::binary | std::ios::trunc) << CommonXml(names); }
    std::filesystem::last_write_time(CommonPath(), time + std::chrono::seconds(seconds));
  }
};

} // namespace qrx::test
