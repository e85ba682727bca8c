// Loader of the GSM final-test plug-in BI_GSM_QRX, made resident before the GSM final-test
// library loads.
#pragma once

#include "plugins/bi_loader.h"

namespace qrx {

class CBIQRXGSMFtSingleton final : public CBILoader {
public:
  // The one instance, created on the first call; null only when it could not be allocated.
  static CBIQRXGSMFtSingleton *GetInstance();

private:
  friend class LoaderInstance<CBIQRXGSMFtSingleton>;
  CBIQRXGSMFtSingleton();
};

} // namespace qrx
