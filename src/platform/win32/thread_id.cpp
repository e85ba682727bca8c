// Windows thread ids: what the station registry matches callers by.
#include "platform/thread_id.h"

#include <windows.h>

namespace qrx::platform {

uint32_t CurrentThreadId() { return static_cast<uint32_t>(::GetCurrentThreadId()); }

} // namespace qrx::platform
