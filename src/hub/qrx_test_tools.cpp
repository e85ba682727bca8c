// Hub construction, tear-down, the station's seeding and the operator's serial prompt.
#include "hub/qrx_test_tools.h"

#include "hub/qrx_package_manager_service.h"
#include "hub/qrx_setting_service.h"
#include "instruments/qrx_instrument_detect_service.h"
#include "journal/station_journal.h"
#include "platform/module_path.h"
#include "services/qrx_account_service.h"
#include "services/qrx_local_service.h"
#include "services/qrx_log_service.h"
#include "sn/test_runner_sn_dlg.h"

#include <mutex>
#include <new>

namespace qrx {
namespace {
// One serial-number dialog at a time in the whole process.
std::mutex g_serialPromptLock;
const std::string kAnyText = "^.+$";
// Level of the line that tells the observers the journal cannot be written.
constexpr int kJournalProblemLevel = 1;
} // namespace

CQRXTestTools::CQRXTestTools(int threadIndex, const CString &configFile, void *parentWindow)
    : parameters_(std::string()), results_(std::string()),
      stagingNames_(this, platform::StationDirectory() + "BusinessCfg" + platform::kPathSeparator +
                              "Common.xml") {
  parameters_.MakeMember();
  results_.MakeMember();
  // Locale, instrument detection and log services are created here, then the setting,
  // account and package services; each implementation adds its line in this order.
  localeService_ = new (std::nothrow) CQRXLocalService();
  instrumentDetect_ = new (std::nothrow) CQRXInstrumentDetectService();
  logService_ = new (std::nothrow) CQRXLogService(threadIndex);
  moduleDirectory_ = platform::StationDirectory();
  settingService_ = new (std::nothrow) CQRXSettingService(moduleDirectory_);
  // The account service reads the same file that Initialize opens through the setting service.
  auto *settings = static_cast<CQRXSettingService *>(settingService_);
  accountService_ = new (std::nothrow) CQRXAccountService(
      settings ? settings->PathOf(configFile, "BusinessCfg")
               : moduleDirectory_ + "BusinessCfg" + platform::kPathSeparator + configFile);
  packageManager_ = new (std::nothrow) CQRXPackageManagerService();
  parentWindow_ = static_cast<HWND>(parentWindow);
  configFile_ = configFile;
  threadIndex_ = threadIndex;
}

CQRXTestTools::~CQRXTestTools() {
  // The journal goes first: nothing the services say while they end belongs to the station.
  if (journal::StationJournal::Current() == journal_.get()) journal::StationJournal::SetCurrent(nullptr);
  journal_.reset();
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
  // The setting service is ours, so its files are the concrete type that copies sections.
  auto *settings = static_cast<CQRXSettingService *>(settingService_);
  if (!settings) return 1;
  CQRXSettingFile *config = settings->Open(configFile_, "BusinessCfg");
  if (!config) return 1;
  // Keys of SpecialSettings override those of CommonConfig with the same name.
  config->CopySectionToDataSet(&parameters_, "CommonConfig");
  config->CopySectionToDataSet(&parameters_, "SpecialSettings");
  config->Release();
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
  const bool entered = dialog.DoModal() == CTestRunnerSnDlg::kIdOk;
  if (journal_) journal_->Prompt(*pattern, entered ? dialog.Text() : std::string(), !entered);
  if (!entered) return -1;
  *out = dialog.Text();
  return 0;
}

std::unique_ptr<journal::StationJournal> CQRXTestTools::SetJournal(
    std::unique_ptr<journal::StationJournal> journal) {
  std::swap(journal_, journal);
  return journal;
}

void CQRXTestTools::TellObservers(const std::string &line) {
  // Straight to the observers: a line about the journal is no event of the journal.
  if (logService_) logService_->Write(std::string(), kJournalProblemLevel, 64, 2, line, 0);
}

int CQRXTestTools::RegisterLogObserver(ILogObserver *observer) {
  return logService_ ? logService_->AddObserver(observer) : 0;
}

int CQRXTestTools::UnregisterLogObserver(ILogObserver *observer) {
  return logService_ ? logService_->RemoveObserver(observer) : 0;
}

} // namespace qrx
