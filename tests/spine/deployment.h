// A temporary deployment directory (TestDll/ with the five test libraries, Plugins/ with the
// four BI plug-ins) that the test process works in, so libraries are reached through the
// real relative paths.
#pragma once

#include "platform/module_path.h"

#include <filesystem>
#include <random>
#include <string>

// File-name suffix of the built libraries (".dll" in Windows builds).
#ifndef QRX_LIBRARY_SUFFIX
#define QRX_LIBRARY_SUFFIX ".so"
#endif

namespace qrx::test {

class Deployment {
public:
  explicit Deployment(bool withLte = true) {
    // A fresh folder under the temporary folder; create_directory refuses an existing one.
    std::random_device rd;
    do root_ = std::filesystem::temp_directory_path() / ("qrx-spine-" + std::to_string(rd()));
    while (!std::filesystem::create_directory(root_));
    std::filesystem::create_directories(root_ / "TestDll");
    std::filesystem::create_directories(root_ / "BusinessCfg");
    std::filesystem::create_directories(root_ / "Plugins");
    for (const char *name : {"BI_QRX", "BI_GSM_QRX", "XA_BIAR9344", "BI_QRX_UFI_NET"})
      std::filesystem::copy_file(QRX_TEST_PLUGIN, root_ / "Plugins" / (name + std::string(QRX_LIBRARY_SUFFIX)));
    for (const char *name : {"TestDllQRXCal", "GsmFt", "TDFT", "WiFi_DLL"})
      std::filesystem::copy_file(QRX_TEST_LIBRARY, root_ / "TestDll" / (name + std::string(QRX_LIBRARY_SUFFIX)));
    if (withLte)
      std::filesystem::copy_file(QRX_TEST_LIBRARY, root_ / "TestDll" / ("FinalTestLTE" + std::string(QRX_LIBRARY_SUFFIX)));
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
