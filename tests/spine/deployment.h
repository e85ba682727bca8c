// A temporary deployment directory (TestDll/ with the five test libraries, Plugins/ with the
// four BI plug-ins) that the test process works in, so libraries are reached through the
// real relative paths.
#pragma once

#include "platform/module_path.h"

#include <filesystem>
#include <string>
#include <unistd.h>

namespace qrx::test {

class Deployment {
public:
  explicit Deployment(bool withLte = true) {
    char tmpl[] = "/tmp/qrx-spine-XXXXXX";
    root_ = ::mkdtemp(tmpl);
    std::filesystem::create_directories(root_ / "TestDll");
    std::filesystem::create_directories(root_ / "BusinessCfg");
    std::filesystem::create_directories(root_ / "Plugins");
    for (const char *name : {"BI_QRX.so", "BI_GSM_QRX.so", "XA_BIAR9344.so", "BI_QRX_UFI_NET.so"})
      std::filesystem::copy_file(QRX_TEST_PLUGIN, root_ / "Plugins" / name);
    for (const char *name : {"TestDllQRXCal.so", "GsmFt.so", "TDFT.so", "WiFi_DLL.so"})
      std::filesystem::copy_file(QRX_TEST_LIBRARY, root_ / "TestDll" / name);
    if (withLte) std::filesystem::copy_file(QRX_TEST_LIBRARY, root_ / "TestDll" / "FinalTestLTE.so");
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(root_);
    // The statically linked test stands in for a library deployed in root_.
    platform::OverrideModuleDirectory(root_.string() + "/");
  }
  ~Deployment() {
    platform::OverrideModuleDirectory(std::string());
    std::filesystem::current_path(old_);
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  const std::filesystem::path &Root() const { return root_; }

private:
  std::filesystem::path root_;
  std::filesystem::path old_;
};

} // namespace qrx::test
