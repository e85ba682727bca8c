// The station's image download manager: hands image paths, options and a progress window to
// the product's BI plug-in and starts and stops the transfer.
#pragma once

#include "qrx/download_event.h"
#include "qrx/generic.h"

#include <cstdint>

namespace qrx {

class IQRXBIDownloadManager {
public:
  virtual ~IQRXBIDownloadManager() = default;
  // 1 when the plug-in is available, 0 when not.
  virtual int32_t Initialize() = 0;
  // 0 on success, 1 on failure.
  virtual int32_t PrepareDownload() = 0;
  // 0 when the download started, 1 on failure.
  virtual int32_t StartDownload(CString imagePath, int32_t option, QRXDownloadCallback callback,
                                CString secondImagePath, int32_t extra1, int32_t extra2,
                                CString extraText) = 0;
  // 0 when a stop was requested, 1 without a plug-in.
  virtual int32_t StopDownload() = 0;
};

} // namespace qrx
