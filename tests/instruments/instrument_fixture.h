// A temporary station directory for the instrument tests: TestDll/ with the two instrument
// libraries, BusinessCfg/, the fake VISA named by QRX_VISA_LIBRARY, message-box capture.
#pragma once

#include "fake_instrument_control.h"
#include "fake_visa_control.h"
#include "platform/fault_injection.h"
#include "platform/module_path.h"

#include <qrx/host_ui.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
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

// One deployed copy of the fake instrument library, held open by the test.
struct InstrumentCopy {
  void *handle = nullptr;
  FakeInstrumentResetFn reset = nullptr;
  FakeInstrumentSetStatusFn setStatus = nullptr;
  FakeInstrumentLastTypeCodeFn lastTypeCode = nullptr;
  FakeInstrumentLiveFn live = nullptr;
  FakeInstrumentCallsFn calls = nullptr;

  bool Open(const std::filesystem::path &path) {
    handle = ::dlopen(path.c_str(), RTLD_NOW);
    if (!handle) return false;
    reset = reinterpret_cast<FakeInstrumentResetFn>(::dlsym(handle, "FakeInstrumentReset"));
    setStatus = reinterpret_cast<FakeInstrumentSetStatusFn>(::dlsym(handle, "FakeInstrumentSetStatus"));
    lastTypeCode = reinterpret_cast<FakeInstrumentLastTypeCodeFn>(::dlsym(handle, "FakeInstrumentLastTypeCode"));
    live = reinterpret_cast<FakeInstrumentLiveFn>(::dlsym(handle, "FakeInstrumentLive"));
    calls = reinterpret_cast<FakeInstrumentCallsFn>(::dlsym(handle, "FakeInstrumentCalls"));
    if (!reset || !setStatus || !lastTypeCode || !live || !calls) return false;
    reset();
    return true;
  }
  void Close() {
    if (handle) ::dlclose(handle);
    handle = nullptr;
  }
};

class InstrumentFixture : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qrx-instruments-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    std::filesystem::create_directories(root_ / "TestDll");
    std::filesystem::create_directories(root_ / "BusinessCfg");
    std::filesystem::copy_file(QRX_FAKE_INSTRUMENT, root_ / "TestDll" / "QRXNSigInstrument.so");
    std::filesystem::copy_file(QRX_FAKE_INSTRUMENT, root_ / "TestDll" / "QRXTESTSETPXI3000.so");
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(root_);
    platform::OverrideModuleDirectory(root_.string() + "/");
    ::setenv("QRX_VISA_LIBRARY", QRX_FAKE_VISA, 1);

    visa_ = ::dlopen(QRX_FAKE_VISA, RTLD_NOW);
    ASSERT_NE(visa_, nullptr) << ::dlerror();
    visaAnswer = reinterpret_cast<FakeVisaAnswerFn>(::dlsym(visa_, "FakeVisaAnswer"));
    visaList = reinterpret_cast<FakeVisaListFn>(::dlsym(visa_, "FakeVisaList"));
    visaFail = reinterpret_cast<FakeVisaFailFn>(::dlsym(visa_, "FakeVisaFail"));
    visaCalls = reinterpret_cast<FakeVisaCallsFn>(::dlsym(visa_, "FakeVisaCalls"));
    visaOpenSessions = reinterpret_cast<FakeVisaOpenSessionsFn>(::dlsym(visa_, "FakeVisaOpenSessions"));
    auto reset = reinterpret_cast<FakeVisaResetFn>(::dlsym(visa_, "FakeVisaReset"));
    ASSERT_TRUE(visaAnswer && visaList && visaFail && visaCalls && visaOpenSessions && reset);
    reset();

    ASSERT_TRUE(nsig.Open(root_ / "TestDll" / "QRXNSigInstrument.so"));
    ASSERT_TRUE(pxi.Open(root_ / "TestDll" / "QRXTESTSETPXI3000.so"));
    Boxes().clear();
    QRX_SetMessageBoxHandler(&RecordBox, nullptr);
  }

  void TearDown() override {
    QRX_SetMessageBoxHandler(nullptr, nullptr);
    platform::ClearFaults();
    nsig.Close();
    pxi.Close();
    if (visa_) ::dlclose(visa_);
    ::unsetenv("QRX_VISA_LIBRARY");
    platform::OverrideModuleDirectory(std::string());
    std::filesystem::current_path(old_);
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  void WriteConfig(const std::string &name, const std::string &body) {
    std::ofstream(root_ / "BusinessCfg" / name, std::ios::binary)
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<phone>" << body << "</phone>\r\n";
  }

  std::string VisaCalls() const { return visaCalls(); }

  std::filesystem::path root_;
  std::filesystem::path old_;
  void *visa_ = nullptr;
  FakeVisaAnswerFn visaAnswer = nullptr;
  FakeVisaListFn visaList = nullptr;
  FakeVisaFailFn visaFail = nullptr;
  FakeVisaCallsFn visaCalls = nullptr;
  FakeVisaOpenSessionsFn visaOpenSessions = nullptr;
  InstrumentCopy nsig;
  InstrumentCopy pxi;
};

} // namespace qrx::test
