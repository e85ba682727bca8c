// The system's own text for an error code: errno values on POSIX, GetLastError() codes on
// Windows. Safe to call from any thread.
#pragma once

#include <cstdint>
#include <string>

namespace qrx::platform {

// The message without a trailing line break; "error N" when the system has none.
std::string SystemErrorText(uint32_t code);

} // namespace qrx::platform
