// The version export: which library a host really loaded, whatever headers it was built with.
#include "interface/export_macros.h"

#include <qrx/version.h>

#include <string_view>

#define QRX_TEXT_OF(x) #x
#define QRX_TEXT(x) QRX_TEXT_OF(x)
static_assert(std::string_view(QRX_VERSION_STRING) ==
                  QRX_TEXT(QRX_VERSION_MAJOR) "." QRX_TEXT(QRX_VERSION_MINOR) "." QRX_TEXT(QRX_VERSION_PATCH),
              "the version numbers of qrx/version.h disagree with its version text");

QRX_EXPORT const char *QRX_GetVersion(void) { return QRX_VERSION_STRING; }
