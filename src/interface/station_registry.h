// The process-wide station registry: thread index -> station context, in ascending key order,
// behind a reader/writer lock (shared lookups, exclusive insert and remove).
#pragma once

#include "interface/station_context.h"

#include <map>
#include <shared_mutex>

namespace qrx {

class StationRegistry {
public:
  static StationRegistry &Instance();

  bool Contains(int threadIndex) const;
  bool FindByKey(int threadIndex, StationContext *out) const;
  // Inserts when the key is absent; false (and nothing changed) when it is taken.
  bool InsertIfAbsent(int threadIndex, const StationContext &context);
  // The entry with the lowest key whose thread id is threadId.
  bool FindByThread(uint32_t threadId, StationContext *out, int *key) const;
  bool Remove(int threadIndex);
  size_t Size() const;

private:
  mutable std::shared_mutex lock_;
  std::map<int, StationContext> stations_;
};

} // namespace qrx
