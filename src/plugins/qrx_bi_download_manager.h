// Image download manager of phone stations: hands the image path, option and progress window
// to the phone plug-in BI_QRX and starts and stops the transfer. The UFI manager builds on it.
#pragma once

#include "plugins/plugin_object.h"
#include "plugins/qrx_bi_download_manager_interface.h"

#include <cstddef>

namespace qrx {

class CBISnLoader;
class CQRXTestTools;

class CQRXBIDownloadManager : public IQRXBIDownloadManager {
public:
  // The 16 bytes every download image starts with.
  static constexpr unsigned char kImageSignature[16] = {0x1A, 0x63, 0x13, 0xDF, 0xCD, 0x98,
                                                        0xA8, 0x4F, 0xA5, 0x19, 0x7C, 0x1B,
                                                        0x1A, 0xBA, 0x9F, 0xD7};

  explicit CQRXBIDownloadManager(CQRXTestTools *hub);

  int32_t Initialize() override;
  int32_t PrepareDownload() override;
  int32_t StartDownload(CString imagePath, int32_t option, QRXDownloadCallback callback,
                        CString secondImagePath, int32_t extra1, int32_t extra2,
                        CString extraText) override;
  int32_t StopDownload() override;

  // True when the file at path is readable and starts with the image signature.
  static bool HasImageSignature(const CString &path);

protected:
  struct Positions {
    int window, startStop, option;
  };
  CQRXBIDownloadManager(CQRXTestTools *hub, const Positions &positions);

  virtual CBISnLoader *FindLoader();
  // Product steps before the model and phone type are handed over.
  virtual void BeforePrepare() {}
  // Writes the image paths into the plug-in's settings file; false when it was not written.
  virtual bool WriteImagePaths(const CString &settingsFile, const CString &imagePath,
                               const CString &secondImagePath);
  // Hands the option (and the product's extra values) to the plug-in.
  virtual void PassOptions(int32_t option, int32_t extra1, int32_t extra2,
                           const CString &extraText);

  CQRXTestTools *hub;            // borrowed
  CBISnLoader *loader = nullptr; // process-wide; not owned
  PluginObject snObject;         // shared by all stations of the product; not owned
  Positions positions_;
};

} // namespace qrx
