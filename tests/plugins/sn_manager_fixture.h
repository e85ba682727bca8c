// A hub with thread index 3 and a serial-number or download manager on the fake plug-ins.
#pragma once

#include "plugin_deployment.h"

#include "hub/qrx_test_tools.h"

#include <gtest/gtest.h>

#include <memory>

namespace qrx::test {

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
