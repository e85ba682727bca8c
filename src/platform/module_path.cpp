// The folder rules every system shares: a test's stand-in folder, and the station folder that
// QRX_STATION_DIR names for a shared, installed library.
#include "platform/module_path.h"

#include <cstdlib>
#include <mutex>

namespace qrx::platform {
namespace {
std::mutex g_overrideLock;
std::string g_override;

std::string Override() {
  std::lock_guard<std::mutex> lock(g_overrideLock);
  return g_override;
}
} // namespace

void OverrideModuleDirectory(const std::string &directory) {
  std::lock_guard<std::mutex> lock(g_overrideLock);
  g_override = directory;
}

std::string ModuleDirectory() {
  std::string directory = Override();
  if (!directory.empty()) return directory;
  directory = system::LoadedModuleDirectory();
  return directory.empty() ? ExecutableDirectory() : directory;
}

std::string StationDirectory() {
  std::string directory = Override();
  if (!directory.empty()) return directory;
  const char *station = std::getenv("QRX_STATION_DIR");
  if (!station || !*station) return ModuleDirectory();
  directory = station;
  // Windows takes either separator; the folder keeps the one it was given.
  if (directory.back() != kPathSeparator && directory.back() != '/') directory += kPathSeparator;
  return directory;
}

} // namespace qrx::platform
