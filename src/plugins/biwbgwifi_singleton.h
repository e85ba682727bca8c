// Loader of the WiFi plug-in XA_BIAR9344, made resident before the WiFi library loads.
#pragma once

#include "plugins/bi_loader.h"

namespace qrx {

class CBIWBGWIFISingleton final : public CBILoader {
public:
  // The one instance, created on the first call; null only when it could not be allocated.
  static CBIWBGWIFISingleton *GetInstance();

private:
  friend class LoaderInstance<CBIWBGWIFISingleton>;
  CBIWBGWIFISingleton();
};

} // namespace qrx
