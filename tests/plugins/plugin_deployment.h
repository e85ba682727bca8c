// A temporary station directory with fake BI plug-ins in Plugins/ and test libraries in
// TestDll/, worked in by the test process; its destructor unloads every plug-in loader.
#pragma once

#include "fake_plugin_control.h"
#include <qrx/plugin_boundary.h>
#include "platform/dynamic_library.h"
#include "plugins/bi_singleton.h"
#include "plugins/biqrxgsm_ft_singleton.h"
#include "plugins/biwbgwifi_singleton.h"
#include "plugins/ufi_bi_singleton.h"

#include <qrx/host_ui.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace qrx::test {

struct Box {
  std::string caption;
  std::string text;
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

inline void UnloadAllPlugins() {
  LoaderInstance<CBISingleton>::Destroy();
  LoaderInstance<CUFiBISingleton>::Destroy();
  LoaderInstance<CBIQRXGSMFtSingleton>::Destroy();
  LoaderInstance<CBIWBGWIFISingleton>::Destroy();
}

class PluginDeployment {
public:
  struct Options {
    bool phone = true;
    bool ufi = true;
    bool others = true; // BI_GSM_QRX and XA_BIAR9344
  };
  PluginDeployment() : PluginDeployment(Options{}) {}
  explicit PluginDeployment(const Options &options) {
    char tmpl[] = "/tmp/qrx-plugins-XXXXXX";
    root_ = ::mkdtemp(tmpl);
    namespace fs = std::filesystem;
    fs::create_directories(root_ / "Plugins");
    fs::create_directories(root_ / "TestDll");
    fs::create_directories(root_ / "BusinessCfg");
    if (options.phone) fs::copy_file(QRX_FAKE_PHONE, root_ / "Plugins" / "BI_QRX.so");
    if (options.ufi) fs::copy_file(QRX_FAKE_UFI, root_ / "Plugins" / "BI_QRX_UFI_NET.so");
    if (options.others) {
      fs::copy_file(QRX_FAKE_PHONE, root_ / "Plugins" / "BI_GSM_QRX.so");
      fs::copy_file(QRX_FAKE_PHONE, root_ / "Plugins" / "XA_BIAR9344.so");
    }
    for (const char *name :
         {"TestDllQRXCal.so", "GsmFt.so", "TDFT.so", "FinalTestLTE.so", "WiFi_DLL.so"})
      fs::copy_file(QRX_TEST_LIBRARY, root_ / "TestDll" / name);
    old_ = fs::current_path();
    fs::current_path(root_);
    {
      std::lock_guard<std::mutex> hold(g_boxLock);
      g_boxes.clear();
    }
    QRX_SetMessageBoxHandler(&RecordBox, nullptr);
  }
  ~PluginDeployment() {
    UnloadAllPlugins();
    QRX_SetMessageBoxHandler(nullptr, nullptr);
    std::filesystem::current_path(old_);
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  const std::filesystem::path &Root() const { return root_; }
  std::string Path(const std::string &name) const { return (root_ / name).string(); }

  // The control block of a loaded fake plug-in.
  static FakeControl *Control(void *module) {
    auto fn = reinterpret_cast<FakeControlBlockFn>(platform::GetProcAddress(module, "FakeControlBlock"));
    return fn ? fn() : nullptr;
  }
  static FakeControl *Phone() { return Control(CBISingleton::GetInstance()->Module()); }
  static FakeControl *Ufi() { return Control(CUFiBISingleton::GetInstance()->Module()); }

  std::string ReadFile(const std::string &name) const {
    std::ifstream in(root_ / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void WriteFile(const std::string &name, const std::string &data) const {
    std::ofstream out(root_ / name, std::ios::binary);
    out << data;
  }

private:
  std::filesystem::path root_;
  std::filesystem::path old_;
};

} // namespace qrx::test
