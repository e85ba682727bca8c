// The station's service hub: owns the station's services and its parameter and result data
// sets; every test-library function receives a pointer to it.
#pragma once

#include "hub/data_set.h"
#include "hub/staging_name_cache.h"

#include <qrx/test_tools.h>

#include <memory>
#include <string>

namespace qrx {
namespace journal {
class StationJournal;
}

class CQRXTestTools final : public IMyTestTools {
public:
  CQRXTestTools(int threadIndex, const CString &configFile, void *parentWindow);
  virtual ~CQRXTestTools(); // slot 23

  void *Reserved0() override { return nullptr; }
  void Release() override { delete this; }
  IDataSet *GetParameterDataSet() override { return &parameters_; }
  IDataSet *GetResultDataSet() override { return &results_; }
  ILogService *GetLogService() override { return logService_; }
  ILocaleService *GetLocaleService() override { return localeService_; }
  IAccountService *GetAccountService() override { return accountService_; }
  ISettingService *GetSettingService() override { return settingService_; }
  void *Reserved8() override { return nullptr; }
  void *Reserved9() override { return nullptr; }
  void *Reserved10() override { return nullptr; }
  IInstrumentDetectService *GetInstrumentDetectService() override { return instrumentDetect_; }
  int InputSerialNumber(std::string *out) override;
  HWND GetParentWindow() override { return parentWindow_; }
  void *Reserved14() override { return nullptr; }
  IPackageManagerService *GetPackageManagerService() override { return packageManager_; }
  void *Reserved16() override { return nullptr; }
  int InputSerialNumberMatching(std::string *out, const std::string *pattern) override;
  int Reserved18(int, int, int, int) override { return 0; }
  int RegisterLogObserver(ILogObserver *observer) override;
  int UnregisterLogObserver(ILogObserver *observer) override;
  int Initialize() override;
  CString GetCommonValue(const char *section, const char *key) override;

  int ThreadIndex() const { return threadIndex_; }
  const CString &ConfigFile() const { return configFile_; }
  const CString &ModuleDirectory() const { return moduleDirectory_; }
  // The staging names this station's exports read from "Common.xml".
  CStagingNameCache &StagingNames() { return stagingNames_; }
  // The station's journal; null when the deployment does not record.
  journal::StationJournal *Journal() const { return journal_.get(); }
  // Gives the station a journal (or none) and hands back the one it had.
  std::unique_ptr<journal::StationJournal> SetJournal(
      std::unique_ptr<journal::StationJournal> journal);
  // Tells the station's log observers one line, without recording it in the journal.
  void TellObservers(const std::string &line);

private:
  // Owned services; each stays null until its implementation is created here.
  ILocaleService *localeService_ = nullptr;
  IAccountService *accountService_ = nullptr;
  IInstrumentDetectService *instrumentDetect_ = nullptr;
  IMyLogServer *logService_ = nullptr;
  ISettingService *settingService_ = nullptr;
  IPackageManagerService *packageManager_ = nullptr;
  HWND parentWindow_ = nullptr;
  DataSet parameters_;
  DataSet results_;
  CString configFile_;
  CString moduleDirectory_;
  int threadIndex_ = 0;
  CStagingNameCache stagingNames_;
  std::unique_ptr<journal::StationJournal> journal_;
};

} // namespace qrx
