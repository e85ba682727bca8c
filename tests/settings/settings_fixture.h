// A station folder that a statically linked test stands in for (BusinessCfg/ taken as the
// library's configuration folder, message boxes captured), its setting service, and a station
// hub with the outside test library that uses it.
#pragma once

#include "hub/qrx_setting_service.h"
#include "hub/qrx_test_tools.h"
#include "platform/dynamic_library.h"
#include "platform/fault_injection.h"
#include "../support/station_folder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace qrx::test {

inline const std::string kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

// "加载配置文件" + path + "失败" and "保存配置文件" + path + "失败" in GBK.
inline std::string LoadFailedText(const std::string &path) {
  return "\xBC\xD3\xD4\xD8\xC5\xE4\xD6\xC3\xCE\xC4\xBC\xFE" + path + "\xCA\xA7\xB0\xDC";
}
inline std::string SaveFailedText(const std::string &path) {
  return "\xB1\xA3\xB4\xE6\xC5\xE4\xD6\xC3\xCE\xC4\xBC\xFE" + path + "\xCA\xA7\xB0\xDC";
}

class SettingsFixture : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = std::make_unique<StationFolder>("settings", /*enter=*/false);
    root_ = folder_->Root();
    service_ = new CQRXSettingService(Root());
  }
  void TearDown() override {
    service_->Release();
    if (hub_) hub_->Release();
    if (library_) platform::FreeLibrary(library_);
    platform::ClearFaults();
    folder_.reset();
  }
  // The module directory, ending with the separator.
  std::string Root() const { return folder_->Dir(); }
  std::string Cfg(const std::string &name) const { return folder_->Cfg(name); }
  ISettingFile *Open(const std::string &name, const std::string &folder = "BusinessCfg") {
    return service_->OpenSettingFile(name, folder);
  }
  // Writes the file and opens it.
  ISettingFile *OpenWith(const std::string &name, const std::string &bytes) {
    WriteBytes(Cfg(name), bytes);
    return Open(name);
  }
  size_t FilesInCfg() const {
    size_t entries = 0;
    for ([[maybe_unused]] auto &e : std::filesystem::directory_iterator(root_ / "BusinessCfg")) ++entries;
    return entries;
  }

  // Creates the station's hub as InitQRXInterface does, seeds it, and loads the test library.
  CQRXTestTools *MakeHub(const std::string &configFile, int threadIndex = 1) {
    library_ = platform::LoadLibrary(QRX_SETTINGS_TEST_LIBRARY);
    EXPECT_NE(library_, nullptr);
    hub_ = new CQRXTestTools(threadIndex, configFile, nullptr);
    hub_->Initialize();
    return hub_;
  }
  // Calls a function of the test library with the hub, after staging the parameters.
  int Call(const char *function,
           std::initializer_list<std::pair<const char *, std::string>> parameters = {}) {
    for (auto &[name, value] : parameters) hub_->GetParameterDataSet()->SetString(name, value);
    using Entry = int (*)(ITestTools *);
    auto entry = reinterpret_cast<Entry>(platform::GetProcAddress(library_, function));
    return entry ? entry(hub_) : -1000;
  }
  static std::string Get(IDataSet *set, const char *name) {
    std::string value;
    return set->GetString(name, value) == 0 ? value : "<absent>";
  }
  std::string Result(const char *name) { return Get(hub_->GetResultDataSet(), name); }
  std::string Parameter(const char *name) { return Get(hub_->GetParameterDataSet(), name); }

  std::unique_ptr<StationFolder> folder_;
  std::filesystem::path root_;
  CQRXSettingService *service_ = nullptr;
  void *library_ = nullptr;
  CQRXTestTools *hub_ = nullptr;
};

} // namespace qrx::test
