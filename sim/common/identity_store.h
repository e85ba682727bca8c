// The persistent memory of one simulated device: serial numbers, IMEI, MAC, SSID, flags and
// software version, kept as "key=value" lines in a small file so that what one run writes
// the next run reads back. Shared by the simulated plug-ins and test libraries.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace qrx::sim {

class IdentityStore {
public:
  // The device at station index threadIndex (-1 and other negatives share "device-none").
  explicit IdentityStore(int threadIndex);

  // Folder of the device files: $QRX_SIM_STATE_DIR, else "SimState" in the working directory.
  static std::string StateDirectory();

  std::string Path() const { return path_; }

  std::optional<std::string> Get(const std::string &key) const;
  std::string GetOr(const std::string &key, const std::string &fallback) const;
  // Writes one value; the file is replaced atomically. False when it cannot be written.
  bool Set(const std::string &key, const std::string &value);

  // The 20 station flags as a string of '0'/'1' characters.
  std::string Flags() const;
  bool SetFlag(int index, char value);

private:
  std::map<std::string, std::string> Load() const;
  bool Save(const std::map<std::string, std::string> &values) const;

  std::string path_;
};

} // namespace qrx::sim
