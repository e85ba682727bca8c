// Loader of the phone plug-in BI_QRX: its SN object serves the phone stations' identity
// programming and image download.
#pragma once

#include "plugins/bi_sn_loader.h"

namespace qrx {

class CBISingleton final : public CBISnLoader {
public:
  // The one instance, created on the first call; null only when it could not be allocated.
  static CBISingleton *GetInstance();

private:
  friend class LoaderInstance<CBISingleton>;
  CBISingleton();
};

} // namespace qrx
