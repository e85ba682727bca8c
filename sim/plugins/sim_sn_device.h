// Identity operations that the phone and UFI plug-ins share: each reads or writes one field
// of the device at the calling station (IdentityStore), within the buffer sizes the
// interface library hands over.
#pragma once

#include <cstddef>
#include <string>

namespace qrx::sim {

class SimSnDevice {
public:
  // Writes text under key; refuses a text that the matching read buffer could not hold.
  static int Write(int ti, const char *key, const char *text, size_t readBufferSize);
  // Copies the value of key (empty when never written) into out, at most size-1 bytes.
  static int Read(int ti, const char *key, char *out, size_t size);
  static int ReadFlags(int ti, int count, char *out, size_t size);
  static int ReadFlagAt(int ti, int item, char *out, size_t size);
  static int WriteFlag(int ti, int item, const char *text);
  // True when the device file lists operation under "Faults" (comma separated): lets an
  // engineer make one simulated device misbehave.
  static bool Faulty(int ti, const char *operation);
  static std::string SoftVersion(int ti);

  static void SetModel(const std::string &model);
  static std::string Model();
};

} // namespace qrx::sim
