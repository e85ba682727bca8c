// Station registry storage and the calling thread's lookup.
#include "interface/station_registry.h"

#include "platform/thread_id.h"

#include <mutex>

namespace qrx {

StationRegistry &StationRegistry::Instance() {
  static StationRegistry registry;
  return registry;
}

bool StationRegistry::Contains(int threadIndex) const {
  std::shared_lock lock(lock_);
  return stations_.count(threadIndex) != 0;
}

bool StationRegistry::FindByKey(int threadIndex, StationContext *out) const {
  std::shared_lock lock(lock_);
  auto it = stations_.find(threadIndex);
  if (it == stations_.end()) return false;
  if (out) *out = it->second;
  return true;
}

bool StationRegistry::InsertIfAbsent(int threadIndex, const StationContext &context) {
  std::unique_lock lock(lock_);
  return stations_.emplace(threadIndex, context).second;
}

bool StationRegistry::FindByThread(uint32_t threadId, StationContext *out, int *key) const {
  std::shared_lock lock(lock_);
  for (const auto &[k, ctx] : stations_) {
    if (ctx.threadId == threadId) {
      if (out) *out = ctx;
      if (key) *key = k;
      return true;
    }
  }
  return false;
}

bool StationRegistry::Remove(int threadIndex) {
  std::unique_lock lock(lock_);
  return stations_.erase(threadIndex) != 0;
}

size_t StationRegistry::Size() const {
  std::shared_lock lock(lock_);
  return stations_.size();
}

bool FindStation(StationContext *out) {
  try {
    return StationRegistry::Instance().FindByThread(platform::CurrentThreadId(), out, nullptr);
  } catch (...) {
    return false;
  }
}

} // namespace qrx
