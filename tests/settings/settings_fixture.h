// A station folder that a statically linked test stands in for (BusinessCfg/ taken as the
// library's configuration folder, message boxes captured), and the texts of failed loads and saves.
#pragma once

#include "platform/fault_injection.h"
#include "../support/station_folder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace qrx::test {

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
  }
  void TearDown() override {
    platform::ClearFaults();
    folder_.reset();
  }
  // The module directory, ending with the separator.
  std::string Root() const { return folder_->Dir(); }
  std::string Cfg(const std::string &name) const { return folder_->Cfg(name); }

  std::unique_ptr<StationFolder> folder_;
  std::filesystem::path root_;
};

} // namespace qrx::test
