// Pending injected failures, one counter per kind, shared by all threads (the same on every
// system, so one file serves both platform layers).
#include "platform/fault_injection.h"

#include <atomic>

namespace qrx::platform {
namespace {
std::atomic<int> g_pending[static_cast<int>(Fault::kCount)];
std::atomic<int> g_spared[static_cast<int>(Fault::kCount)]; // calls that succeed first

// Takes one from `counter` when it is above zero.
bool TakeOne(std::atomic<int> &counter) {
  int n = counter.load();
  while (n > 0) {
    if (counter.compare_exchange_weak(n, n - 1)) return true;
  }
  return false;
}
} // namespace

void FailNext(Fault fault, int count, int after) {
  g_pending[static_cast<int>(fault)].store(count);
  g_spared[static_cast<int>(fault)].store(after);
}

void ClearFaults() {
  for (auto &p : g_pending) p.store(0);
  for (auto &p : g_spared) p.store(0);
}

bool ShouldFail(Fault fault) {
  auto &p = g_pending[static_cast<int>(fault)];
  if (p.load() > 0 && TakeOne(g_spared[static_cast<int>(fault)])) return false;
  return TakeOne(p);
}

} // namespace qrx::platform
