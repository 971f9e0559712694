#include "recorder/files/field_limits.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace zetra::files::limits {
namespace {

constexpr std::array<float, 6> kMemorySizes = {100000, 200000, 500000, 1000000, 2000000, 5000000};
constexpr std::array<int, 10> kSecondsPerDivision = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
constexpr std::array<int16_t, 10> kTemperatureSpans = {1, 2, 5, 10, 20, 50, 100, 120, 150, 200};
constexpr std::array<float, 15> kSpans = {100,    200,    500,     1000,    2000,
                                          5000,   10000,  20000,   50000,   100000,
                                          200000, 500000, 1000000, 2000000, 5000000};
// The value scroll bars run from -150 to 50; their position is -100 x offset / span.
constexpr double kBarLow = -150.5, kBarHigh = 50.5;

}  // namespace

bool finite(float v) {
  return std::isfinite(v);
}

bool memory_size(float capacity) {
  return std::find(kMemorySizes.begin(), kMemorySizes.end(), capacity) != kMemorySizes.end();
}

bool listed_rate(float interval) {
  if (!(interval > 0) || !finite(interval)) return false;
  const double rate = 1.0 / interval;
  return std::fabs(rate - std::round(rate)) < 1e-4 && rate >= 1 && rate <= 5;
}

float exact_interval(float interval) {
  return 1.0f / static_cast<float>(std::round(1.0 / interval));
}

bool listed_width(float width, float interval) {
  if (!finite(width) || !listed_rate(interval)) return false;
  const double seconds = static_cast<double>(width) * interval / 20.0;
  return std::any_of(kSecondsPerDivision.begin(), kSecondsPerDivision.end(),
                     [&](int n) { return std::fabs(seconds - n) < 1e-3 * n; });
}

bool listed_span(float span) {
  return std::find(kSpans.begin(), kSpans.end(), span) != kSpans.end();
}

bool listed_tspan(int16_t tspan) {
  return std::find(kTemperatureSpans.begin(), kTemperatureSpans.end(), tspan) !=
         kTemperatureSpans.end();
}

bool temperature_base(float tbase) {
  return finite(tbase) && tbase >= -50 && tbase <= 100;
}

bool value_offset(float offset, float span) {
  if (!finite(offset) || !listed_span(span)) return false;
  const double position = -100.0 * offset / span;
  return position >= kBarLow && position <= kBarHigh;
}

bool colour(float v) {
  return finite(v) && v >= 0 && v <= 0xFFFFFF && v == std::floor(v);
}

bool divisor(float v) {
  return finite(v) && v != 0;
}

}  // namespace zetra::files::limits
