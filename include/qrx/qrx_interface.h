/* The exported functions of libQRXInterface.so, usable from C and C++.
 *
 * Every export finds the calling thread's station (made by InitQRXInterface on that thread)
 * and returns a signed 32-bit verdict: 0 success; 1 no station, missing service or missing
 * staging name; -1 missing test library or function; any other value the test library's own. */
#ifndef QRX_INTERFACE_H
#define QRX_INTERFACE_H

#include <stddef.h>
#include <stdint.h>

#include <qrx/host_ui.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Station lifecycle. productType is "QRX" (phones) or "UFI", in any letter case. */
int InitQRXInterface(int threadIndex, const char *configFile, const char *productType);
int CleanUpQRXInterface(void);

#ifdef __cplusplus
}
#endif

#endif
