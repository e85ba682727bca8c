/* The version of libQRXInterface.so: the one these headers describe (the macros) and the one
 * a host actually loaded (QRX_GetVersion). The major number is the library's SONAME version
 * (libQRXInterface.so.1); it changes only when an export changes incompatibly. */
#ifndef QRX_VERSION_H
#define QRX_VERSION_H

#define QRX_VERSION_MAJOR 1
#define QRX_VERSION_MINOR 0
#define QRX_VERSION_PATCH 0
#define QRX_VERSION_STRING "1.0.0"

#ifdef __cplusplus
extern "C" {
#endif

/* "MAJOR.MINOR.PATCH" of the loaded library, a static text the host must not free. */
const char *QRX_GetVersion(void);

#ifdef __cplusplus
}
#endif

#endif
