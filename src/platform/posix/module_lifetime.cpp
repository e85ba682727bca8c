// On POSIX systems the library's static objects end at dlclose or exit while the process's
// other threads still run, so unloading may wait for them.
#include "platform/module_lifetime.h"

namespace qrx::platform {

bool ProcessEnding() { return false; }

} // namespace qrx::platform
