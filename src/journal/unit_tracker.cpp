// Unit ids and the state behind the inferred verdict.
#include "journal/unit_tracker.h"

#include <chrono>

namespace qrx::journal {

UnitTracker::UnitTracker() {
  // Ids must differ between stations, processes and machines: the system's entropy, mixed
  // with the clock and this object's address where the entropy source is weak.
  std::random_device entropy;
  const uint64_t clock = static_cast<uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
  std::seed_seq seed{entropy(), entropy(), entropy(), entropy(), static_cast<unsigned>(clock),
                     static_cast<unsigned>(clock >> 32),
                     static_cast<unsigned>(reinterpret_cast<uintptr_t>(this))};
  random_.seed(seed);
}

void UnitTracker::Begin(const std::string &serial, bool isExplicit) {
  static constexpr char kHex[] = "0123456789abcdef";
  uint64_t halves[2] = {random_(), random_()};
  halves[0] = (halves[0] & ~0xF000ULL) | 0x4000ULL;                 // version 4
  halves[1] = (halves[1] & ~(3ULL << 62)) | (2ULL << 62);           // RFC 4122 variant
  id_.clear();
  for (int half = 0; half < 2; ++half) {
    for (int nibble = 15; nibble >= 0; --nibble) {
      id_ += kHex[(halves[half] >> (nibble * 4)) & 15];
      if (id_.size() == 8 || id_.size() == 13 || id_.size() == 18 || id_.size() == 23) id_ += '-';
    }
  }
  open_ = true;
  explicit_ = isExplicit;
  itemFailed_ = false;
  firstFailingCall_ = -1;
  serial_ = serial;
  seen_.reset();
}

bool UnitTracker::SeenBefore(size_t exportIndex) {
  if (exportIndex >= seen_.size()) return false;
  const bool seen = seen_.test(exportIndex);
  seen_.set(exportIndex);
  return seen;
}

} // namespace qrx::journal
