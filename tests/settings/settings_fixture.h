// A temporary deployment that a statically linked test stands in for: BusinessCfg/ in a
// directory of its own, taken as the library's module directory, plus message-box capture.
#pragma once

#include "platform/fault_injection.h"
#include "platform/module_path.h"

#include <qrx/host_ui.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace qrx::test {

struct Box {
  std::string caption, text;
};

inline std::vector<Box> &Boxes() {
  static std::vector<Box> boxes;
  return boxes;
}

inline void RecordBox(void *, const char *caption, const char *text) {
  Boxes().push_back({caption ? caption : "", text ? text : ""});
}

inline std::string ReadBytes(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

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
    char tmpl[] = "/tmp/qrx-settings-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    std::filesystem::create_directories(root_ / "BusinessCfg");
    platform::OverrideModuleDirectory(Root());
    Boxes().clear();
    QRX_SetMessageBoxHandler(&RecordBox, nullptr);
  }
  void TearDown() override {
    QRX_SetMessageBoxHandler(nullptr, nullptr);
    platform::ClearFaults();
    platform::OverrideModuleDirectory(std::string());
    std::error_code ec;
    std::filesystem::permissions(root_ / "BusinessCfg", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(root_, ec);
  }
  // The module directory, ending with '/'.
  std::string Root() const { return root_.string() + "/"; }
  std::string Cfg(const std::string &name) const { return Root() + "BusinessCfg/" + name; }

  std::filesystem::path root_;
};

} // namespace qrx::test
