// Reproducible noise for the simulated devices: every value depends only on the run seed,
// the station and the name of what is measured, never on call order or timing.
#pragma once

#include <cstdint>
#include <string_view>

namespace qrx::sim {

class SimRandom {
public:
  // A generator for one measured quantity; the same three inputs give the same sequence.
  SimRandom(uint64_t seed, int station, std::string_view what);

  double Uniform();                      // [0, 1)
  double Normal(double mean, double sigma);
  uint64_t Next();

  static uint64_t Hash(std::string_view text, uint64_t basis = 1469598103934665603ULL);

private:
  uint64_t state_;
};

} // namespace qrx::sim
