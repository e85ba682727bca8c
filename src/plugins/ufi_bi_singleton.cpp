// The UFI plug-in's file and messages.
#include "plugins/ufi_bi_singleton.h"

namespace qrx {

CUFiBISingleton::CUFiBISingleton()
    : CBISnLoader({".\\Plugins\\BI_QRX_UFI_NET.dll", "Load BI dll fail",
                   "\xB5\xF7\xD3\xC3" "BI Create Function Fail"}, // 调用BI Create Function Fail
                  LoaderInstance<CUFiBISingleton>::Lock()) {}

CUFiBISingleton *CUFiBISingleton::GetInstance() { return LoaderInstance<CUFiBISingleton>::Get(); }

} // namespace qrx
