// The instrument tests' station folder: TestDll/ with the two instrument libraries, and the
// fake VISA named by QRX_VISA_LIBRARY.
#pragma once

#include "platform/dynamic_library.h"
#include "platform/fault_injection.h"
#include "../support/environment.h"
#include "../support/station_folder.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

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

// Calls the control `name` of a fake library that the test holds open; a missing control fails
// the test.
template <typename R = void, typename... A> R Control(void *library, const char *name, A... args) {
  auto fn = library ? reinterpret_cast<R (*)(A...)>(platform::GetProcAddress(library, name)) : nullptr;
  if (!fn) {
    ADD_FAILURE() << name << " is missing";
    return R();
  }
  return fn(args...);
}

// One deployed copy of the fake instrument library, held open by the test.
struct InstrumentCopy {
  void *handle = nullptr;

  bool Open(const std::filesystem::path &path) {
    handle = platform::LoadLibrary(path.string());
    if (handle) reset();
    return handle != nullptr;
  }
  void Close() {
    if (handle) platform::FreeLibrary(handle);
    handle = nullptr;
  }
  void reset() { Control(handle, "FakeInstrumentReset"); }
  void setStatus(int status) { Control(handle, "FakeInstrumentSetStatus", status); } // UnloadStatus
  // The type code of the last GetQRXCalInstrInterface, -1 before.
  int lastTypeCode() { return Control<int>(handle, "FakeInstrumentLastTypeCode"); }
  int live() { return Control<int>(handle, "FakeInstrumentLive"); } // objects not yet released
  // One call a line: "status", "call1 1 2 3", ...
  std::string calls() {
    const char *calls = Control<const char *>(handle, "FakeInstrumentCalls");
    return calls ? calls : "";
  }
};

class InstrumentFixture : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = std::make_unique<StationFolder>("instruments");
    root_ = folder_->Root();
    folder_->Deploy(QRX_FAKE_INSTRUMENT, "TestDll", "QRXNSigInstrument");
    folder_->Deploy(QRX_FAKE_INSTRUMENT, "TestDll", "QRXTESTSETPXI3000");
    visaName_.emplace("QRX_VISA_LIBRARY", QRX_FAKE_VISA);

    visa_ = platform::LoadLibrary(QRX_FAKE_VISA);
    ASSERT_NE(visa_, nullptr);
    visaReset();

    ASSERT_TRUE(nsig.Open(NsigFile()));
    ASSERT_TRUE(pxi.Open(root_ / "TestDll" / ("QRXTESTSETPXI3000" + std::string(kLibrarySuffix))));
  }

  void TearDown() override {
    platform::ClearFaults();
    nsig.Close();
    pxi.Close();
    if (visa_) platform::FreeLibrary(visa_);
    visaName_.reset();
    folder_.reset();
  }

  void WriteConfig(const std::string &name, const std::string &body) {
    WriteBytes(root_ / "BusinessCfg" / name, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<phone>" +
                                                 body + "</phone>\r\n");
  }

  // The fake VISA, held open so that what it is told survives the query's own load and free.
  void visaReset() { Control(visa_, "FakeVisaReset"); }
  // The instrument at resource answers "*IDN?" with answer (a line end is appended).
  void visaAnswer(const std::string &resource, const std::string &answer) {
    Control(visa_, "FakeVisaAnswer", resource.c_str(), answer.c_str());
  }
  // viFindRsrc lists this description after the answering resources.
  void visaList(const char *description) { Control(visa_, "FakeVisaList", description); }
  // From now on function (e.g. "viClear") returns status.
  void visaFail(const char *function, int status) { Control(visa_, "FakeVisaFail", function, status); }
  // Calls so far, one a line: "viOpen GPIB0::14::0::INSTR 0 3000", "viQueryf *IDN?\n %t", ...
  std::string VisaCalls() {
    const char *calls = Control<const char *>(visa_, "FakeVisaCalls");
    return calls ? calls : "";
  }
  // Sessions opened and not yet closed (resource managers, instruments and find lists).
  int visaOpenSessions() { return Control<int>(visa_, "FakeVisaOpenSessions"); }
  std::filesystem::path NsigFile() const {
    return root_ / "TestDll" / ("QRXNSigInstrument" + std::string(kLibrarySuffix));
  }

  std::unique_ptr<StationFolder> folder_;
  std::optional<ScopedEnvironment> visaName_;
  std::filesystem::path root_;
  void *visa_ = nullptr;
  InstrumentCopy nsig;
  InstrumentCopy pxi;
};

} // namespace qrx::test
