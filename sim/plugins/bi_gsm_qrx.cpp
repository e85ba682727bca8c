// Simulated GSM final-test BI plug-in: the GSM final-test library needs it resident; it
// offers only its root object.
#include "sim_root_object.h"

QRX_SIM_EXPORT void *Create(void) { return qrx::sim::MakeRootObject(); }
