// A seedable random source whose sequence is the same with every standard library: the standard
// distributions are implementation-defined, so uniform and Gaussian draws are made here.
#pragma once

#include <cstdint>
#include <random>

namespace zetra::standins {

class RandomSource {
 public:
  explicit RandomSource(uint64_t seed) : engine_(seed) {}

  // Uniform in [0, 1) with 53 random bits.
  double uniform() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
  double uniform(double low, double high) { return low + (high - low) * uniform(); }
  bool chance(double probability) { return uniform() < probability; }
  // Standard normal by the Box-Muller transform; the second value of each pair is kept.
  double gaussian();
  // Exponentially distributed waiting time with the given mean.
  double exponential(double mean);

 private:
  std::mt19937_64 engine_;  // its output sequence is fixed by the C++ standard
  double spare_ = 0.0;
  bool has_spare_ = false;
};

}  // namespace zetra::standins
