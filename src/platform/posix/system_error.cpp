#include "platform/system_error.h"

#include <cstring>

namespace qrx::platform {

std::string SystemErrorText(uint32_t code) {
  char buffer[256];
  // The GNU strerror_r returns either the buffer or a static text; both stay valid here.
  const char *text = ::strerror_r(static_cast<int>(code), buffer, sizeof buffer);
  return text && *text ? std::string(text) : "error " + std::to_string(code);
}

} // namespace qrx::platform
