// The chart's legend: the four traces by name, colour and present unit, shown on the chart and on
// paper, and the same names colour the channel panels' titles.
#pragma once

#include <array>
#include <string>

#include "platform/surface.h"
#include "recorder/state/recorder_state.h"
#include "recorder/window/window_model.h"

namespace zetra::chart {

struct LegendEntry {
  std::string text;  // "CH1 pA", "CH2 nM", "CH1 °C"
  platform::Colour colour;
};
// CH1 value, CH2 value, CH1 temperature, CH2 temperature.
using LegendEntries = std::array<LegendEntry, 4>;

LegendEntries legend_entries(const RecorderState& state, const WindowModel& window);

// One row along the chart's top edge, inside the frame; the temperature entries only while the
// temperature lines are on. Leaves the surface's foreground as it found it.
void draw_legend(platform::Surface& chart, const RecorderState& state, const WindowModel& window);

}  // namespace zetra::chart
