// Hub construction, tear-down, the station's seeding and the operator's serial prompt.
#include "hub/qrx_test_tools.h"

#include "platform/module_path.h"
#include "sn/test_runner_sn_dlg.h"

#include <mutex>

namespace qrx {
namespace {
// One serial-number dialog at a time in the whole process.
std::mutex g_serialPromptLock;
const std::string kAnyText = "^.+$";
} // namespace

CQRXTestTools::CQRXTestTools(int threadIndex, const CString &configFile, void *parentWindow)
    : parameters_(std::string()), results_(std::string()) {
  parameters_.MakeMember();
  results_.MakeMember();
  // Locale, instrument detection and log services are created here, then the setting,
  // account and package services; each implementation adds its line in this order.
  moduleDirectory_ = platform::ModuleDirectory();
  parentWindow_ = parentWindow;
  configFile_ = configFile;
  threadIndex_ = threadIndex;
}

CQRXTestTools::~CQRXTestTools() {
  IGeneric *owned[] = {localeService_, accountService_, instrumentDetect_,
                       logService_,    settingService_, packageManager_};
  for (IGeneric *service : owned)
    if (service) service->Release();
  localeService_ = nullptr;
  accountService_ = nullptr;
  instrumentDetect_ = nullptr;
  logService_ = nullptr;
  settingService_ = nullptr;
  packageManager_ = nullptr;
  parentWindow_ = nullptr;
}

int CQRXTestTools::Initialize() {
  parameters_.SetInt("ThreadIndex", threadIndex_);
  parameters_.SetString("ConfigFile", configFile_);
  return 1;
}

CString CQRXTestTools::GetCommonValue(const char *section, const char *key) {
  if (!section || !key || !settingService_) return CString();
  ISettingFile *file = settingService_->OpenSettingFile("Common.xml", "BusinessCfg");
  if (!file) return CString();
  CString value = file->GetValue(section, key);
  file->Release();
  return value;
}

int CQRXTestTools::InputSerialNumber(std::string *out) {
  return InputSerialNumberMatching(out, &kAnyText);
}

int CQRXTestTools::InputSerialNumberMatching(std::string *out, const std::string *pattern) {
  if (!out || !pattern) return -1;
  std::lock_guard<std::mutex> lock(g_serialPromptLock);
  CTestRunnerSnDlg dialog(*pattern, parentWindow_);
  if (dialog.DoModal() != CTestRunnerSnDlg::kIdOk) return -1;
  *out = dialog.Text();
  return 0;
}

int CQRXTestTools::RegisterLogObserver(ILogObserver *observer) {
  return logService_ ? logService_->AddObserver(observer) : 0;
}

int CQRXTestTools::UnregisterLogObserver(ILogObserver *observer) {
  return logService_ ? logService_->RemoveObserver(observer) : 0;
}

} // namespace qrx
