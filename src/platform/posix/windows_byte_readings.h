// Corrections of iconv's single-byte tables towards Windows' readings (see the .cpp).
#pragma once

#include <cstddef>

namespace qrx::platform {

struct WindowsByteReading {
  int codePage;
  unsigned char byte;
  char16_t unit;
};

extern const WindowsByteReading kWindowsByteReadings[];
extern const size_t kWindowsByteReadingCount;

} // namespace qrx::platform
