// Simulated WiFi BI plug-in: the WiFi test library needs it resident; it offers only its
// root object.
#include "sim_root_object.h"

QRX_SIM_EXPORT void *Create(void) { return qrx::sim::MakeRootObject(); }
