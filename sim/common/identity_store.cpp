// File-backed device identity; one process-wide lock keeps read-modify-write cycles of
// concurrent stations from losing each other's values.
#include "identity_store.h"


#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <mutex>
#include <sstream>

namespace qrx::sim {
namespace {

std::mutex &StoreLock() {
  static std::mutex lock;
  return lock;
}

constexpr int kFlagCount = 20;

} // namespace

std::string IdentityStore::StateDirectory() {
  const char *dir = std::getenv("QRX_SIM_STATE_DIR");
  std::string result = (dir && *dir) ? dir : "SimState";
  if (result.back() != '/') result += '/';
  return result;
}

IdentityStore::IdentityStore(int threadIndex) {
  std::string name = threadIndex >= 0 ? "device-" + std::to_string(threadIndex) : "device-none";
  path_ = StateDirectory() + name + ".ini";
}

std::map<std::string, std::string> IdentityStore::Load() const {
  std::map<std::string, std::string> values;
  std::ifstream in(path_);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto eq = line.find('=');
    if (eq == std::string::npos || line[0] == '#') continue;
    values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

bool IdentityStore::Save(const std::map<std::string, std::string> &values) const {
  std::string dir = StateDirectory();
  std::error_code ec;
  std::filesystem::create_directories(dir, ec); // an existing folder is fine
  std::string temp = path_ + ".tmp" + std::to_string(std::random_device{}());
  {
    std::ofstream out(temp, std::ios::trunc);
    if (!out) return false;
    out << "# simulated device identity\n";
    for (const auto &[key, value] : values) out << key << '=' << value << '\n';
    out.flush();
    if (!out) {
      std::remove(temp.c_str());
      return false;
    }
  }
  // filesystem::rename replaces an existing file on every platform (std::rename does not on
  // Windows).
  std::filesystem::rename(temp, path_, ec);
  if (ec) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

std::optional<std::string> IdentityStore::Get(const std::string &key) const {
  std::lock_guard<std::mutex> hold(StoreLock());
  auto values = Load();
  auto it = values.find(key);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

std::string IdentityStore::GetOr(const std::string &key, const std::string &fallback) const {
  return Get(key).value_or(fallback);
}

bool IdentityStore::Set(const std::string &key, const std::string &value) {
  // Values are single lines; a line break would split the record.
  if (key.empty() || key.find_first_of("=\r\n") != std::string::npos ||
      value.find_first_of("\r\n") != std::string::npos)
    return false;
  std::lock_guard<std::mutex> hold(StoreLock());
  auto values = Load();
  values[key] = value;
  return Save(values);
}

std::string IdentityStore::Flags() const {
  std::string flags = GetOr("Flags", "");
  flags.resize(kFlagCount, '0');
  return flags;
}

bool IdentityStore::SetFlag(int index, char value) {
  if (index < 0 || index >= kFlagCount) return false;
  std::lock_guard<std::mutex> hold(StoreLock());
  auto values = Load();
  std::string flags = values["Flags"];
  flags.resize(kFlagCount, '0');
  flags[static_cast<size_t>(index)] = value;
  values["Flags"] = flags;
  return Save(values);
}

} // namespace qrx::sim
