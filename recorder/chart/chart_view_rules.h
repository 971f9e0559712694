// Small shared rules of the chart: the run state as the buttons show it, colours and scrollbar
// positions as integers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "platform/surface.h"
#include "recorder/numbers/number_format.h"
#include "recorder/state/recorder_state.h"
#include "recorder/window/window_model.h"

namespace zetra::chart {

// Recording runs and the examine toggle is off: the chart follows the newest samples.
inline bool live_follow(const WindowModel& window) {
  return window["crec"].caption == "Stop" && window["cre"].caption == "exam";
}

inline platform::Colour colour_of(float packed) {
  return static_cast<platform::Colour>(numbers::round_half_even(packed)) & 0xFFFFFFu;
}

// The packed colour of the trace a control stands for: the channel titles take their current
// traces' colours, the captions of the vertical bars the colour of the trace each bar moves.
// nullptr for every other control.
inline const float* trace_colour(std::string_view name, const RecorderState& s) {
  if (name == "tch" || name == "lnvs1") return &s.color_cur1;
  if (name == "tch2" || name == "lnvs12") return &s.color_cur2;
  if (name == "lnvs2") return &s.color_temp1;
  if (name == "lnvs22") return &s.color_temp2;
  return nullptr;
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
