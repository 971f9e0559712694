// Small shared rules of the chart: the run state as the buttons show it, colours and scrollbar
// positions as integers.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/surface.h"
#include "recorder/numbers/number_format.h"
#include "recorder/window/window_model.h"

namespace zetra::chart {

// Recording runs and the examine toggle is off: the chart follows the newest samples.
inline bool live_follow(const WindowModel& window) {
  return window["crec"].caption == "Stop" && window["cre"].caption == "exam";
}

inline platform::Colour colour_of(float packed) {
  return static_cast<platform::Colour>(numbers::round_half_even(packed)) & 0xFFFFFFu;
}

// A computed position as a 16-bit scrollbar value, rounded half to even. Clamped into the 16-bit
// range: a view that lies outside the data (after a delete, say) would otherwise overflow.
inline int to_bar_value(double value) {
  const double clamped = std::clamp(value, -32768.0, 32767.0);
  return static_cast<int>(numbers::round_half_even(clamped));
}

// Sets a scrollbar's position, kept within its range.
inline void set_bar_position(Control& bar, int value) {
  bar.value = std::clamp(value, bar.minimum, std::max(bar.minimum, bar.maximum));
}

}  // namespace zetra::chart
