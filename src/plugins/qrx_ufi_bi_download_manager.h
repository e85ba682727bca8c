// Image download manager of UFI stations: as the phone's, through the UFI plug-in
// BI_QRX_UFI_NET, with its preparation steps, a second image and extra values.
#pragma once

#include "plugins/qrx_bi_download_manager.h"

namespace qrx {

class CQRXUFiBIDownloadManager final : public CQRXBIDownloadManager {
public:
  explicit CQRXUFiBIDownloadManager(CQRXTestTools *hub);

protected:
  CBISnLoader *FindLoader() override;
  // The plug-in's two preparation calls, then the ARP cache flush (the device's address is
  // reused by every UFI on the line).
  void BeforePrepare() override;
  bool WriteImagePaths(const CString &settingsFile, const CString &imagePath,
                       const CString &secondImagePath) override;
  void PassOptions(int32_t option, int32_t extra1, int32_t extra2,
                   const CString &extraText) override;
};

} // namespace qrx
