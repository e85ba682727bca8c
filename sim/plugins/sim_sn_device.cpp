// Every read is bounded by the size the boundary fixes, since the caller's buffer is that big.
#include "sim_sn_device.h"

#include "../common/identity_store.h"

#include <cstring>
#include <mutex>
#include <sstream>

namespace qrx::sim {
namespace {

std::mutex g_modelLock;
std::string g_model;

// Read buffers of unknown size (MSN, PSN, software version, flags over AT): the host's buffer
// must hold the value, so values are kept short enough for any sane buffer.
constexpr size_t kFreeBufferSize = 50;

void CopyBounded(const std::string &value, char *out, size_t size) {
  if (!out || size == 0) return;
  size_t n = std::min(value.size(), size - 1);
  std::memcpy(out, value.data(), n);
  out[n] = '\0';
}

} // namespace

int SimSnDevice::Write(int ti, const char *key, const char *text, size_t readBufferSize) {
  if (!text || Faulty(ti, key)) return 1;
  size_t limit = readBufferSize ? readBufferSize : kFreeBufferSize;
  if (std::strlen(text) + 1 > limit) return 1;
  return IdentityStore(ti).Set(key, text) ? 0 : 1;
}

int SimSnDevice::Read(int ti, const char *key, char *out, size_t size) {
  if (!out || Faulty(ti, (std::string("Read") + key).c_str())) return 1;
  CopyBounded(IdentityStore(ti).GetOr(key, ""), out, size ? size : kFreeBufferSize);
  return 0;
}

int SimSnDevice::ReadFlags(int ti, int count, char *out, size_t size) {
  if (!out || count < 0) return 1;
  std::string flags = IdentityStore(ti).Flags();
  if (static_cast<size_t>(count) < flags.size()) flags.resize(static_cast<size_t>(count));
  CopyBounded(flags, out, size);
  return 0;
}

int SimSnDevice::ReadFlagAt(int ti, int item, char *out, size_t size) {
  if (!out) return 1;
  std::string flags = IdentityStore(ti).Flags();
  if (item >= 0 && item < static_cast<int>(flags.size()))
    CopyBounded(std::string(1, flags[static_cast<size_t>(item)]), out, size);
  else
    CopyBounded(flags, out, size);
  return 0;
}

int SimSnDevice::WriteFlag(int ti, int item, const char *text) {
  if (!text || !*text || Faulty(ti, "WriteFlag")) return 1;
  return IdentityStore(ti).SetFlag(item, text[0]) ? 0 : 1;
}

bool SimSnDevice::Faulty(int ti, const char *operation) {
  auto faults = IdentityStore(ti).Get("Faults");
  if (!faults) return false;
  std::stringstream in(*faults);
  std::string name;
  while (std::getline(in, name, ','))
    if (name == operation) return true;
  return false;
}

std::string SimSnDevice::SoftVersion(int ti) {
  return IdentityStore(ti).GetOr("SoftVersion", "QRXSIM_V1.0.0");
}

void SimSnDevice::SetModel(const std::string &model) {
  std::lock_guard<std::mutex> hold(g_modelLock);
  g_model = model;
}

std::string SimSnDevice::Model() {
  std::lock_guard<std::mutex> hold(g_modelLock);
  return g_model;
}

} // namespace qrx::sim
