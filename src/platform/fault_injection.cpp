// Pending injected failures, one counter per kind, shared by all threads (the same on every
// system, so one file serves both platform layers).
#include "platform/fault_injection.h"

#include <atomic>

namespace qrx::platform {
namespace {
std::atomic<int> g_pending[static_cast<int>(Fault::kCount)];
}

void FailNext(Fault fault, int count) { g_pending[static_cast<int>(fault)].store(count); }

void ClearFaults() {
  for (auto &p : g_pending) p.store(0);
}

bool ShouldFail(Fault fault) {
  auto &p = g_pending[static_cast<int>(fault)];
  int n = p.load();
  while (n > 0) {
    if (p.compare_exchange_weak(n, n - 1)) return true;
  }
  return false;
}

} // namespace qrx::platform
