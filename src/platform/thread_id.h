// Identity of the calling thread, as the station registry keys stations by it.
#pragma once

#include <cstdint>

namespace qrx::platform {

// The kernel's id of the calling thread (gettid).
uint32_t CurrentThreadId();

} // namespace qrx::platform
