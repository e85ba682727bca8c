// Kernel thread ids: what the station registry matches callers by.
#include "platform/thread_id.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace qrx::platform {

uint32_t CurrentThreadId() { return static_cast<uint32_t>(::syscall(SYS_gettid)); }

} // namespace qrx::platform
