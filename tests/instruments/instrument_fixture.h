// The instrument tests' station folder: TestDll/ with the two instrument libraries, and the
// fake VISA named by QRX_VISA_LIBRARY.
#pragma once

#include "fake_instruments.h"
#include "platform/dynamic_library.h"
#include "platform/fault_injection.h"
#include "../support/environment.h"
#include "../support/station_folder.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qrx::test {

// "VISA库加载失败,请重新安装VISA或重启计算机后重试!"
inline const std::string kVisaLoadFailed =
    "VISA\xBF\xE2\xBC\xD3\xD4\xD8\xCA\xA7\xB0\xDC,\xC7\xEB\xD6\xD8\xD0\xC2\xB0\xB2\xD7\xB0VISA"
    "\xBB\xF2\xD6\xD8\xC6\xF4\xBC\xC6\xCB\xE3\xBB\xFA\xBA\xF3\xD6\xD8\xCA\xD4!";
// "VISA库打开默认RM失败"
inline const std::string kDefaultRmFailed =
    "VISA\xBF\xE2\xB4\xF2\xBF\xAA\xC4\xAC\xC8\xCFRM\xCA\xA7\xB0\xDC";
// "测试仪无法控制,请确认PC上是否有GPIB卡并且地址配置无误!"
inline const std::string kTesterUnreachable =
    "\xB2\xE2\xCA\xD4\xD2\xC7\xCE\xDE\xB7\xA8\xBF\xD8\xD6\xC6,\xC7\xEB\xC8\xB7\xC8\xCFPC\xC9\xCF"
    "\xCA\xC7\xB7\xF1\xD3\xD0GPIB\xBF\xA8\xB2\xA2\xC7\xD2\xB5\xD8\xD6\xB7\xC5\xE4\xD6\xC3\xCE\xDE"
    "\xCE\xF3!";
// "加载仪表动态库失败!"
inline const std::string kLibraryLoadFailed =
    "\xBC\xD3\xD4\xD8\xD2\xC7\xB1\xED\xB6\xAF\xCC\xAC\xBF\xE2\xCA\xA7\xB0\xDC!";
// "加载导出函数GetQRXCalInstrInterface失败!"
inline const std::string kEntryMissing =
    "\xBC\xD3\xD4\xD8\xB5\xBC\xB3\xF6\xBA\xAF\xCA\xFDGetQRXCalInstrInterface\xCA\xA7\xB0\xDC!";

// The control block `name` exports from a library the test holds open.
template <typename Block> Block *ControlBlock(void *library, const char *name) {
  auto fn = library ? reinterpret_cast<Block *(*)()>(platform::GetProcAddress(library, name)) : nullptr;
  return fn ? fn() : nullptr;
}

class InstrumentFixture : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = std::make_unique<StationFolder>("instruments");
    root_ = folder_->Root();
    folder_->Deploy(QRX_FAKE_INSTRUMENTS, "TestDll", "QRXNSigInstrument");
    folder_->Deploy(QRX_FAKE_INSTRUMENTS, "TestDll", "QRXTESTSETPXI3000");
    visaName_.emplace("QRX_VISA_LIBRARY", QRX_FAKE_INSTRUMENTS);

    held_.push_back(platform::LoadLibrary(QRX_FAKE_INSTRUMENTS));
    visa = ControlBlock<FakeVisaControl>(held_.back(), "FakeVisaControlBlock");
    ASSERT_NE(visa, nullptr);
    *visa = FakeVisaControl();

    ASSERT_TRUE(nsig = Hold(NsigFile()));
    ASSERT_TRUE(pxi = Hold(root_ / "TestDll" / ("QRXTESTSETPXI3000" + std::string(kLibrarySuffix))));
  }

  void TearDown() override {
    platform::ClearFaults();
    for (void *library : held_)
      if (library) platform::FreeLibrary(library);
    visaName_.reset();
    folder_.reset();
  }

  void WriteConfig(const std::string &name, const std::string &body) {
    WriteBytes(root_ / "BusinessCfg" / name, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<phone>" +
                                                 body + "</phone>\r\n");
  }

  // A deployed copy of the fake instrument library, held open by the test, its record cleared.
  FakeInstrumentControl *Hold(const std::filesystem::path &path) {
    held_.push_back(platform::LoadLibrary(path.string()));
    auto *control = ControlBlock<FakeInstrumentControl>(held_.back(), "FakeInstrumentControlBlock");
    if (control) *control = FakeInstrumentControl();
    return control;
  }
  std::filesystem::path NsigFile() const {
    return root_ / "TestDll" / ("QRXNSigInstrument" + std::string(kLibrarySuffix));
  }

  std::unique_ptr<StationFolder> folder_;
  std::optional<ScopedEnvironment> visaName_;
  std::filesystem::path root_;
  // The fake VISA, then the two instrument libraries: held open so that what they are told
  // survives the library's own loads and frees.
  std::vector<void *> held_;
  FakeVisaControl *visa = nullptr;
  FakeInstrumentControl *nsig = nullptr, *pxi = nullptr;
};

} // namespace qrx::test
