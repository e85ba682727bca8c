// VISA library name on Windows.
#include "platform/visa_library_name.h"

#include <cstdlib>

namespace qrx::platform {

std::string VisaLibraryName() {
  // Read on every query, so a station can be pointed at another VISA without a restart.
  const char *name = std::getenv("QRX_VISA_LIBRARY");
  return name && *name ? std::string(name) : std::string("visa32.dll");
}

} // namespace qrx::platform
