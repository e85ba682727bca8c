// The library's entry point: it notes when the process ends, since the static objects of the
// library are then destroyed after the system has ended every other thread (ExitProcess),
// under the loader lock.
#include "platform/module_lifetime.h"

#include <windows.h>

#include <atomic>

namespace qrx::platform {
namespace {
std::atomic<bool> g_processEnding{false};
} // namespace

bool ProcessEnding() { return g_processEnding.load(std::memory_order_acquire); }

} // namespace qrx::platform

// Called by the C runtime's entry point before it destroys the library's static objects.
// Nothing here waits: the loader lock is held.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH && reserved)
    qrx::platform::g_processEnding.store(true, std::memory_order_release);
  return TRUE;
}
