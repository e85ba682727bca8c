// A station folder with fake BI plug-ins in Plugins/ and test libraries in TestDll/, worked
// in by the test process; its destructor unloads every plug-in loader.
#pragma once

#include "fake_plugin_control.h"
#include <qrx/plugin_boundary.h>
#include "platform/dynamic_library.h"
#include "plugins/bi_singleton.h"
#include "plugins/biqrxgsm_ft_singleton.h"
#include "plugins/biwbgwifi_singleton.h"
#include "plugins/ufi_bi_singleton.h"

#include "../support/station_folder.h"

#include <string>

namespace qrx::test {

inline void UnloadAllPlugins() {
  LoaderInstance<CBISingleton>::Destroy();
  LoaderInstance<CUFiBISingleton>::Destroy();
  LoaderInstance<CBIQRXGSMFtSingleton>::Destroy();
  LoaderInstance<CBIWBGWIFISingleton>::Destroy();
}

class PluginDeployment : public StationFolder {
public:
  struct Options {
    bool phone = true;
    bool ufi = true;
    bool others = true; // BI_GSM_QRX and XA_BIAR9344
  };
  PluginDeployment() : PluginDeployment(Options{}) {}
  explicit PluginDeployment(const Options &options) : StationFolder("plugins") {
    if (options.phone) Deploy(QRX_FAKE_PHONE, "Plugins", "BI_QRX");
    if (options.ufi) Deploy(QRX_FAKE_UFI, "Plugins", "BI_QRX_UFI_NET");
    if (options.others) {
      Deploy(QRX_FAKE_PHONE, "Plugins", "BI_GSM_QRX");
      Deploy(QRX_FAKE_PHONE, "Plugins", "XA_BIAR9344");
    }
    DeployTestLibraries(QRX_TEST_LIBRARY);
  }
  ~PluginDeployment() { UnloadAllPlugins(); }
  std::string Path(const std::string &name) const { return (Root() / name).string(); }

  // The control block of a loaded fake plug-in.
  static FakeControl *Control(void *module) {
    auto fn = reinterpret_cast<FakeControlBlockFn>(platform::GetProcAddress(module, "FakeControlBlock"));
    return fn ? fn() : nullptr;
  }
  static FakeControl *Phone() { return Control(CBISingleton::GetInstance()->Module()); }
  static FakeControl *Ufi() { return Control(CUFiBISingleton::GetInstance()->Module()); }
};

} // namespace qrx::test
