// A station folder with fake BI plug-ins in Plugins/ and test libraries in TestDll/, worked
// in by the test process; its destructor unloads every plug-in loader. ManagerTest: a hub with
// thread index 3 and a serial-number or download manager on the fake plug-ins.
#pragma once

#include "fake_plugin_control.h"
#include <qrx/plugin_boundary.h>
#include "hub/qrx_test_tools.h"
#include "platform/dynamic_library.h"
#include "plugins/bi_singleton.h"
#include "plugins/biqrxgsm_ft_singleton.h"
#include "plugins/biwbgwifi_singleton.h"
#include "plugins/ufi_bi_singleton.h"

#include "../support/station_folder.h"

#include <gtest/gtest.h>

#include <memory>
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

using Calls = std::vector<std::string>;

template <typename Manager, bool Ufi> class ManagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    hub = new CQRXTestTools(3, "Station.xml", nullptr);
    hub->GetParameterDataSet()->SetInt("ThreadIndex", 3);
    manager = std::make_unique<Manager>(hub);
    ASSERT_EQ(manager->Initialize(), 1);
    control = Ufi ? PluginDeployment::Ufi() : PluginDeployment::Phone();
    ASSERT_NE(control, nullptr);
    control->Clear();
  }
  void TearDown() override {
    manager.reset();
    hub->Release();
  }
  Calls CallsMade() { return control->Calls(); }
  void Script(int position, int result) {
    std::lock_guard<std::mutex> hold(control->lock);
    control->results[position] = result;
  }
  void Fill(int position, const std::string &text) {
    std::lock_guard<std::mutex> hold(control->lock);
    control->fills[position] = text;
  }
  void SetPhoneType(const std::string &type) {
    hub->GetParameterDataSet()->SetString("BIPhoneType", type);
  }

  PluginDeployment deployment;
  CQRXTestTools *hub = nullptr;
  std::unique_ptr<Manager> manager;
  FakeControl *control = nullptr;
};

} // namespace qrx::test
