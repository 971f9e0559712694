// A seedable random source with the same sequence on every standard library.
#include "standins/meter/random_source.h"

#include <cmath>
#include <numbers>

namespace zetra::standins {

double RandomSource::gaussian() {
  if (has_spare_) {
    has_spare_ = false;
    return spare_;
  }
  const double u1 = 1.0 - uniform();  // in (0, 1], so the logarithm is finite
  const double u2 = uniform();
  const double radius = std::sqrt(-2.0 * std::log(u1));
  const double angle = 2.0 * std::numbers::pi * u2;
  spare_ = radius * std::sin(angle);
  has_spare_ = true;
  return radius * std::cos(angle);
}

double RandomSource::exponential(double mean) { return -mean * std::log(1.0 - uniform()); }

}  // namespace zetra::standins
