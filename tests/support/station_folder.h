// A station folder in the temporary folder for tests that link the library statically: while
// it lives it is the library's module directory (and, when entered, the working directory),
// with test libraries and plug-ins deployed under their names on this system. Message boxes
// the library shows are captured. The same on POSIX systems and Windows.
#pragma once

#include "platform/module_path.h"
#include "temp_folder.h"

#include <qrx/host_ui.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace qrx::test {

#ifdef _WIN32
inline constexpr const char kLibrarySuffix[] = ".dll";
#else
inline constexpr const char kLibrarySuffix[] = ".so";
#endif
inline const char *const kTestLibraryNames[] = {"TestDllQRXCal", "GsmFt", "TDFT",
                                                "FinalTestLTE", "WiFi_DLL"};
inline const char *const kPluginNames[] = {"BI_QRX", "BI_GSM_QRX", "XA_BIAR9344",
                                           "BI_QRX_UFI_NET"};

struct Box {
  std::string caption, text;
};
inline std::mutex g_boxLock;
inline std::vector<Box> g_boxes;
inline void RecordBox(void *, const char *caption, const char *text) {
  std::lock_guard<std::mutex> hold(g_boxLock);
  g_boxes.push_back({caption ? caption : "", text ? text : ""});
}
inline std::vector<Box> Boxes() {
  std::lock_guard<std::mutex> hold(g_boxLock);
  return g_boxes;
}
inline void ClearBoxes() {
  std::lock_guard<std::mutex> hold(g_boxLock);
  g_boxes.clear();
}

class StationFolder : public TempFolder {
public:
  explicit StationFolder(const std::string &tag, bool enter = true) : TempFolder(tag) {
    for (const char *folder : {"TestDll", "BusinessCfg", "Plugins"})
      std::filesystem::create_directories(root_ / folder);
    if (enter) {
      old_ = std::filesystem::current_path();
      std::filesystem::current_path(root_);
    }
    platform::OverrideModuleDirectory(Dir());
    ClearBoxes();
    QRX_SetMessageBoxHandler(&RecordBox, nullptr);
  }
  ~StationFolder() {
    QRX_SetMessageBoxHandler(nullptr, nullptr);
    platform::OverrideModuleDirectory(std::string());
    if (!old_.empty()) std::filesystem::current_path(old_);
    std::error_code ec;
    std::filesystem::permissions(root_ / "BusinessCfg", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }

  // The folder as the library names its module directory, with the separator at the end.
  std::string Dir() const { return root_.string() + platform::kPathSeparator; }
  std::string Cfg(const std::string &name) const {
    return Dir() + "BusinessCfg" + platform::kPathSeparator + name;
  }
  // Copies `library` to `folder`/`stem` with this system's library suffix.
  void Deploy(const std::string &library, const char *folder, const std::string &stem) const {
    std::filesystem::copy_file(library, root_ / folder / (stem + kLibrarySuffix),
                               std::filesystem::copy_options::overwrite_existing);
  }
  // The five test libraries (the LTE one optional) and the four plug-ins, all one file each.
  void DeployTestLibraries(const std::string &library, bool withLte = true) const {
    for (const char *name : kTestLibraryNames)
      if (withLte || std::string(name) != "FinalTestLTE") Deploy(library, "TestDll", name);
  }
  void DeployPlugins(const std::string &plugin) const {
    for (const char *name : kPluginNames) Deploy(plugin, "Plugins", name);
  }

private:
  std::filesystem::path old_;
};

} // namespace qrx::test
