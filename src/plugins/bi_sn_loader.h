// Loader of a BI plug-in that also serves identity programming and image download (the phone
// and UFI plug-ins): adds the shared SN object and the shared progress window.
#pragma once

#include "plugins/bi_loader.h"

#include <qrx/download_event.h>

#include <atomic>
#include <mutex>

namespace qrx {

class CCallBackDialog;

class CBISnLoader : public CBILoader {
public:
  ~CBISnLoader() override;

  // The plug-in's SN object from "LoadQRXDll"(0). Stations asking at the same moment get the
  // same object, and the export is called again only while it has answered null.
  void *GetTestDllObject();

  // The shared progress window, created on the first request; installs callback in it on
  // every request, replacing the one installed before.
  CCallBackDialog *GetCallbackDialog(QRXDownloadCallback callback);

  // Ends the progress windows of the phone and UFI loaders that exist, once the last station
  // has gone: a window's thread holds the library loaded, so the host's FreeLibrary can then
  // unload it. The next download creates a window again.
  static void CloseProgressWindows();

protected:
  CBISnLoader(const Texts &texts, std::mutex &classLock);

private:
  std::atomic<void *> snObject{nullptr};
  CCallBackDialog *callbackDialog = nullptr;
  std::mutex snLock_;       // serialises the calls of "LoadQRXDll"
  std::mutex &classLock_;   // the loader class's lock, which also guards the dialog
};

} // namespace qrx
