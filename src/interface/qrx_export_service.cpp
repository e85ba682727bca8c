// Loading, calling and unloading of the station's five test libraries.
#include "interface/qrx_export_service.h"

#include "platform/dynamic_library.h"
#include "platform/operator_ui.h"
#include "plugins/bi_singleton.h"
#include "plugins/biqrxgsm_ft_singleton.h"
#include "plugins/biwbgwifi_singleton.h"

#include <string>

namespace qrx {
namespace {
using TestLibraryFunction = int (*)(ITestTools *);
} // namespace

IQRXExportService::~IQRXExportService() {
  if (module_) platform::FreeLibrary(module_);
  module_ = nullptr;
  testTools_ = nullptr;
}

int IQRXExportService::CallExport(const char *name) {
  if (!module_ || !name) return -1;
  auto fn = reinterpret_cast<TestLibraryFunction>(platform::GetProcAddress(module_, name));
  if (!fn) return -1;
  return fn(testTools_);
}

int IQRXExportService::LoadLibraryFile(const char *path, const char *title) {
  module_ = platform::LoadLibrary(path);
  if (!module_) {
    platform::ShowMessageBox(title, std::to_string(platform::GetLastError()));
    return 0;
  }
  return 1;
}

// The BI plug-in each library relies on is made resident first by its loader, so the
// library finds it loaded; only the WiFi library needs its plug-in's loader to exist.
int CQRXBLService::Load() {
  CBISingleton::GetInstance();
  return LoadLibraryFile(".\\TestDll\\TestDllQRXCal.dll", "Load BL service Error");
}

int CQRXGsmFtService::Load() {
  CBIQRXGSMFtSingleton::GetInstance();
  return LoadLibraryFile(".\\TestDll\\GsmFt.dll", "Load QRX GSM FT service Fail");
}

int CQRXTDFtService::Load() {
  CBISingleton::GetInstance();
  return LoadLibraryFile(".\\TestDll\\TDFT.dll", "Load QRX TD FT service Fail");
}

int CQRXLTEFtService::Load() {
  CBISingleton::GetInstance();
  return LoadLibraryFile(".\\TestDll\\FinalTestLTE.dll", "Load QRX LTE FT service Error");
}

int CWiFiDllManager::Load() {
  if (!CBIWBGWIFISingleton::GetInstance()) return 0;
  return LoadLibraryFile(".\\TestDll\\WiFi_DLL.dll", "Load WiFi CalFT  service Fail");
}

} // namespace qrx
