// SN object and progress window of the phone and UFI plug-ins.
#include "plugins/bi_sn_loader.h"

#include "plugins/bi_singleton.h"
#include "plugins/ufi_bi_singleton.h"
#include "sn/call_back_dialog.h"

#include <qrx/plugin_boundary.h>

namespace qrx {
namespace {
using LoadQRXDllFn = void *(*)(int);
} // namespace

CBISnLoader::CBISnLoader(const Texts &texts, std::mutex &classLock)
    : CBILoader(texts), classLock_(classLock) {}

// Release order at unload: the window (so no progress reaches a dying plug-in), then the SN
// object, then (in the base) the root object and the library.
CBISnLoader::~CBISnLoader() {
  delete callbackDialog;
  callbackDialog = nullptr;
  if (void *sn = snObject.exchange(nullptr)) PluginObject(sn).call<void>(plugin::kSnRelease);
}

void *CBISnLoader::GetTestDllObject() {
  if (void *sn = snObject.load(std::memory_order_acquire)) return sn;
  std::lock_guard<std::mutex> hold(snLock_);
  if (void *sn = snObject.load(std::memory_order_acquire)) return sn;
  if (!module) return nullptr;
  auto load = reinterpret_cast<LoadQRXDllFn>(platform::GetProcAddress(module, "LoadQRXDll"));
  if (!load) return nullptr;
  void *sn = load(0);
  snObject.store(sn, std::memory_order_release);
  return sn;
}

CCallBackDialog *CBISnLoader::GetCallbackDialog(QRXDownloadCallback callback) {
  std::lock_guard<std::mutex> hold(classLock_);
  // The window is owned by the desktop: it has no parent of ours.
  if (!callbackDialog) {
    // A window that cannot be made (no thread left to run it) leaves the download without
    // progress reports; the next request tries again.
    try {
      callbackDialog = new CCallBackDialog(nullptr);
    } catch (...) {
      callbackDialog = nullptr;
    }
  }
  if (callbackDialog) callbackDialog->SetCallback(callback);
  return callbackDialog;
}

void CBISnLoader::CloseProgressWindows() {
  CBISnLoader *loaders[] = {LoaderInstance<CBISingleton>::IfCreated(),
                            LoaderInstance<CUFiBISingleton>::IfCreated()};
  for (CBISnLoader *loader : loaders) {
    if (!loader) continue;
    CCallBackDialog *doomed;
    {
      std::lock_guard<std::mutex> hold(loader->classLock_);
      doomed = loader->callbackDialog;
      loader->callbackDialog = nullptr;
    }
    delete doomed; // handles what was posted to it, then ends its thread
  }
}

} // namespace qrx
