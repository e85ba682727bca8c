// A station hub in a temporary deployment plus the outside test library that uses it.
#pragma once

#include "settings_fixture.h"

#include "hub/qrx_test_tools.h"

#include "platform/dynamic_library.h"

#include <memory>

namespace qrx::test {

class LibraryHubFixture : public SettingsFixture {
protected:
  void SetUp() override {
    SettingsFixture::SetUp();
    library_ = platform::LoadLibrary(QRX_SETTINGS_TEST_LIBRARY);
    ASSERT_NE(library_, nullptr);
  }
  void TearDown() override {
    if (hub_) hub_->Release();
    hub_ = nullptr;
    if (library_) platform::FreeLibrary(library_);
    SettingsFixture::TearDown();
  }
  // Creates the station's hub as InitQRXInterface does, and seeds it.
  CQRXTestTools *MakeHub(const std::string &configFile, int threadIndex = 1) {
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
    if (!entry) return -1000;
    return entry(hub_);
  }
  std::string Result(const char *name) {
    std::string value;
    if (hub_->GetResultDataSet()->GetString(name, value) != 0) return "<absent>";
    return value;
  }
  std::string Parameter(const char *name) {
    std::string value;
    if (hub_->GetParameterDataSet()->GetString(name, value) != 0) return "<absent>";
    return value;
  }

  void *library_ = nullptr;
  CQRXTestTools *hub_ = nullptr;
};

} // namespace qrx::test
