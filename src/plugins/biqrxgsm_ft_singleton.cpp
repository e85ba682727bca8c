// The GSM final-test plug-in's file and messages.
#include "plugins/biqrxgsm_ft_singleton.h"

namespace qrx {

CBIQRXGSMFtSingleton::CBIQRXGSMFtSingleton()
    : CBILoader({".\\Plugins\\BI_GSM_QRX.dll", "Load GSM FT BI dll fail",
                 // 调用GSM FT BI Create Function Fail
                 "\xB5\xF7\xD3\xC3" "GSM FT BI Create Function Fail"}) {}

CBIQRXGSMFtSingleton *CBIQRXGSMFtSingleton::GetInstance() {
  return LoaderInstance<CBIQRXGSMFtSingleton>::Get();
}

} // namespace qrx
