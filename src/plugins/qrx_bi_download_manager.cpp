// Phone image download: signature check, settings-file write, option, progress window, start.
#include "plugins/qrx_bi_download_manager.h"

#include "hub/qrx_test_tools.h"
#include "platform/file_system.h"
#include "platform/ini_file.h"
#include "platform/operator_ui.h"
#include "plugins/bi_singleton.h"
#include "sn/call_back_dialog.h"

#include <qrx/account_service.h>
#include <qrx/plugin_boundary.h>

#include <cstdio>
#include <cstring>

namespace qrx {
using namespace plugin;

namespace {
// "请在脚本界面配置必要的型号机类型，参数名称：BIPhoneType": asks the operator to configure
// the model type in the script interface and names the parameter.
constexpr const char *kNoPhoneType =
    "\xC7\xEB\xD4\xDA\xBD\xC5\xB1\xBE\xBD\xE7\xC3\xE6\xC5\xE4\xD6\xC3\xB1\xD8\xD2\xAA\xB5\xC4"
    "\xD0\xCD\xBA\xC5\xBB\xFA\xC0\xE0\xD0\xCD\xA3\xAC\xB2\xCE\xCA\xFD\xC3\xFB\xB3\xC6\xA3\xBA"
    "BIPhoneType";
} // namespace

CQRXBIDownloadManager::CQRXBIDownloadManager(CQRXTestTools *hub)
    : CQRXBIDownloadManager(hub, {kPhoneDownloadWindow, kPhoneDownloadStartStop,
                                  kPhoneDownloadOption}) {}

CQRXBIDownloadManager::CQRXBIDownloadManager(CQRXTestTools *hub, const Positions &positions)
    : hub(hub), positions_(positions) {}

CBISnLoader *CQRXBIDownloadManager::FindLoader() { return CBISingleton::GetInstance(); }

int32_t CQRXBIDownloadManager::Initialize() {
  loader = FindLoader();
  if (!loader) return 0;
  snObject = PluginObject(loader->GetTestDllObject());
  return snObject ? 1 : 0;
}

int32_t CQRXBIDownloadManager::PrepareDownload() {
  if (!snObject || !loader) return 1;
  BeforePrepare();
  IPhone *phone = nullptr;
  if (IAccountService *accounts = hub ? hub->GetAccountService() : nullptr)
    phone = accounts->GetPhone();
  std::string model;
  if (phone && phone->GetModel()) model = phone->GetModel();
  snObject.call<int>(kSnSetModel, model);

  std::string phoneType;
  IDataSet *parameters = hub ? hub->GetParameterDataSet() : nullptr;
  if (!parameters || parameters->GetString("BIPhoneType", phoneType) != 0) {
    platform::ShowMessageBox(nullptr, kNoPhoneType);
    if (phone) phone->Release();
    return 1;
  }
  const int accepted = snObject.call<int>(kSnSetPhoneType, phoneType.c_str());
  if (phone) phone->Release();
  return accepted == 0 ? 0 : 1;
}

bool CQRXBIDownloadManager::HasImageSignature(const CString &path) {
  // A directory opens for reading here, unlike on Windows; it is no image either way.
  if (path.empty() || platform::IsDirectory(path)) return false;
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  unsigned char head[sizeof kImageSignature];
  const size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  return got == sizeof head && std::memcmp(head, kImageSignature, sizeof head) == 0;
}

bool CQRXBIDownloadManager::WriteImagePaths(const CString &settingsFile, const CString &imagePath,
                                            const CString &) {
  return platform::WritePrivateProfileString("DownloadImage", "File", imagePath.c_str(),
                                             settingsFile);
}

void CQRXBIDownloadManager::PassOptions(int32_t option, int32_t, int32_t, const CString &) {
  snObject.call<int>(positions_.option, option, 1);
}

int32_t CQRXBIDownloadManager::StartDownload(CString imagePath, int32_t option,
                                             QRXDownloadCallback callback,
                                             CString secondImagePath, int32_t extra1,
                                             int32_t extra2, CString extraText) {
  if (!snObject || !loader) return 1;
  if (!HasImageSignature(imagePath)) return 1;
  const char *settings = snObject.call<const char *>(kSnGetSettingsFile);
  // Without the settings file the plug-in would download whatever image it named before.
  if (!settings || !*settings) return 1;
  const CString settingsFile = settings;
  if (!WriteImagePaths(settingsFile, imagePath, secondImagePath)) return 1;
  PassOptions(option, extra1, extra2, extraText);

  CCallBackDialog *dialog = loader->GetCallbackDialog(callback);
  snObject.call<int>(positions_.window, dialog ? dialog->Window() : static_cast<void *>(nullptr));
  snObject.call<int>(positions_.startStop, 1, 0);
  return 0;
}

int32_t CQRXBIDownloadManager::StopDownload() {
  if (!snObject) return 1;
  snObject.call<int>(positions_.startStop, 0, 0);
  return 0;
}

} // namespace qrx
