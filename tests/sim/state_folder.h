// Every test of the simulated devices works on its own device files: a fresh folder named by
// QRX_SIM_STATE_DIR.
#pragma once

#include "../support/environment.h"
#include "../support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace qrx::simtest {

class StateFolder : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = std::make_unique<test::TempFolder>("sim");
    dir_ = folder_->Root();
    test::SetEnvironment("QRX_SIM_STATE_DIR", dir_.string());
  }
  void TearDown() override { folder_.reset(); }
  std::unique_ptr<test::TempFolder> folder_;
  std::filesystem::path dir_;
};

} // namespace qrx::simtest
