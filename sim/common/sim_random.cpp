// Splitmix64 stream keyed by a FNV-1a hash of the quantity's name.
#include "sim_random.h"

#include <cmath>

namespace qrx::sim {

uint64_t SimRandom::Hash(std::string_view text, uint64_t basis) {
  uint64_t h = basis;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ULL;
  }
  return h;
}

SimRandom::SimRandom(uint64_t seed, int station, std::string_view what)
    : state_(Hash(what, seed * 0x9E3779B97F4A7C15ULL + static_cast<uint64_t>(station + 1))) {}

uint64_t SimRandom::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

double SimRandom::Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

double SimRandom::Normal(double mean, double sigma) {
  // Box-Muller; u1 is kept away from 0 so the logarithm stays finite.
  double u1 = Uniform();
  if (u1 < 1e-12) u1 = 1e-12;
  double u2 = Uniform();
  return mean + sigma * std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
}

} // namespace qrx::sim
