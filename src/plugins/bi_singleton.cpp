// The phone plug-in's file and messages.
#include "plugins/bi_singleton.h"

namespace qrx {

CBISingleton::CBISingleton()
    : CBISnLoader({".\\Plugins\\BI_QRX.dll", "Load BI dll fail",
                   "\xB5\xF7\xD3\xC3" "BI Create Function Fail"}, // 调用BI Create Function Fail
                  LoaderInstance<CBISingleton>::Lock()) {}

CBISingleton *CBISingleton::GetInstance() { return LoaderInstance<CBISingleton>::Get(); }

} // namespace qrx
