// UFI image download: preparation calls, ARP flush, both image paths and the extra values.
#include "plugins/qrx_ufi_bi_download_manager.h"

#include "platform/ini_file.h"
#include "platform/process.h"
#include "plugins/ufi_bi_singleton.h"

#include <qrx/plugin_boundary.h>

namespace qrx {
using namespace plugin;

CQRXUFiBIDownloadManager::CQRXUFiBIDownloadManager(CQRXTestTools *hub)
    : CQRXBIDownloadManager(hub, {kUfiDownloadWindow, kUfiDownloadStartStop, kUfiDownloadOption}) {}

CBISnLoader *CQRXUFiBIDownloadManager::FindLoader() { return CUFiBISingleton::GetInstance(); }

void CQRXUFiBIDownloadManager::BeforePrepare() {
  snObject.call<int>(kUfiPrepareFirst);
  snObject.call<int>(kUfiPrepareSecond, 1);
  // Its outcome is ignored: the flush only drops addresses earlier devices left behind.
  platform::RunHiddenCommand("cmd.exe /c arp -d");
}

bool CQRXUFiBIDownloadManager::WriteImagePaths(const CString &settingsFile,
                                               const CString &imagePath,
                                               const CString &secondImagePath) {
  // Both or neither: the plug-in must never find the new first image beside an old second one.
  return platform::WritePrivateProfileStrings(
      settingsFile, {{"DownloadImage", "File", imagePath.c_str()},
                     {"DownloadImageUFI", "File", secondImagePath.c_str()}});
}

void CQRXUFiBIDownloadManager::PassOptions(int32_t option, int32_t extra1, int32_t extra2,
                                           const CString &extraText) {
  snObject.call<int>(kUfiDownloadOption, option, 1);
  snObject.call<int>(kUfiDownloadExtra, extra1, extra2, CString(extraText));
}

} // namespace qrx
