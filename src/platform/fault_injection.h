// Seam through which tests make the next system call of a kind fail, so the services'
// failure paths can be exercised without building broken files or libraries by hand.
#pragma once

namespace qrx::platform {

enum class Fault {
  kLoadLibrary, // the next library load fails as "cannot be loaded" (193)
  kFileWrite,   // the next file write fails as a full disk
  kFileRename,  // the next rename fails
  kCount
};

// Makes the next `count` calls of the kind fail, after `after` calls of it that succeed.
void FailNext(Fault fault, int count = 1, int after = 0);
// Clears every pending fault.
void ClearFaults();
// Used by the platform layer: true when this call must fail (consumes one pending fault).
bool ShouldFail(Fault fault);

} // namespace qrx::platform
