// The WiFi plug-in's file and messages.
#include "plugins/biwbgwifi_singleton.h"

namespace qrx {

CBIWBGWIFISingleton::CBIWBGWIFISingleton()
    : CBILoader({".\\Plugins\\XA_BIAR9344.dll", "Load BI XA_BIAR9344 dll fail",
                 // 调用BI XA_BIAR9344 Create Function Fail
                 "\xB5\xF7\xD3\xC3" "BI XA_BIAR9344 Create Function Fail"}) {}

CBIWBGWIFISingleton *CBIWBGWIFISingleton::GetInstance() {
  return LoaderInstance<CBIWBGWIFISingleton>::Get();
}

} // namespace qrx
