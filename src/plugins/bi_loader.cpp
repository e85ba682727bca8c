// Plug-in loading and release shared by the four BI loaders.
#include "plugins/bi_loader.h"

#include "platform/operator_ui.h"
#include <qrx/plugin_boundary.h>

namespace qrx {
namespace {
using CreateFn = void *(*)();
// "获取BI Create Function Address fail": obtaining the export failed.
constexpr const char *kNoCreateExport = "\xBB\xF1\xC8\xA1" "BI Create Function Address fail";
} // namespace

CBILoader::CBILoader(const Texts &texts) {
  module = platform::LoadLibrary(texts.path);
  if (!module) {
    platform::ShowMessageBox("Error", texts.loadFailure);
    return;
  }
  auto create = reinterpret_cast<CreateFn>(platform::GetProcAddress(module, "Create"));
  if (!create) {
    platform::ShowMessageBox(nullptr, kNoCreateExport);
    return;
  }
  rootObject = PluginObject(create());
  if (!rootObject) {
    platform::ShowMessageBox(nullptr, texts.createFailure);
    return;
  }
  rootObject.call<void>(plugin::kRootInitialise, plugin::kRootInitialiseValue);
}

CBILoader::~CBILoader() {
  if (rootObject) rootObject.call<void>(plugin::kRootRelease);
  rootObject = PluginObject();
  if (module) platform::FreeLibrary(module);
  module = nullptr;
}

} // namespace qrx
