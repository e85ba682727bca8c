// Loader of the UFI plug-in BI_QRX_UFI_NET: its SN object serves the UFI stations' identity
// programming and image download.
#pragma once

#include "plugins/bi_sn_loader.h"

namespace qrx {

class CUFiBISingleton final : public CBISnLoader {
public:
  // The one instance, created on the first call; null only when it could not be allocated.
  static CUFiBISingleton *GetInstance();

private:
  friend class LoaderInstance<CUFiBISingleton>;
  CUFiBISingleton();
};

} // namespace qrx
