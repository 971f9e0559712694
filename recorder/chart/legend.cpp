#include "recorder/chart/legend.h"

#include "recorder/chart/chart_view_rules.h"

namespace zetra::chart {

LegendEntries legend_entries(const RecorderState& s, const WindowModel& window) {
  const std::string unit = window["pspa"].checked ? " pA" : " nM";
  const std::string degrees = " " + std::string(numbers::kDegreeSign) + "C";
  return {{{"CH1" + unit, colour_of(s.color_cur1)},
           {"CH2" + unit, colour_of(s.color_cur2)},
           {"CH1" + degrees, colour_of(s.color_temp1)},
           {"CH2" + degrees, colour_of(s.color_temp2)}}};
}

void draw_legend(platform::Surface& chart, const RecorderState& s, const WindowModel& window) {
  const LegendEntries entries = legend_entries(s, window);
  const int shown = window["ptlon"].checked ? 4 : 2;
  const platform::Colour saved = chart.foreground();
  // Two and a half divisions per entry, starting half a division in, just below the top edge.
  const float division = s.view_width / 20;
  const float top = chart.scale_top() + chart.scale_height() * 0.01f;
  for (int k = 0; k < shown; ++k) {
    chart.set_foreground(entries[static_cast<size_t>(k)].colour);
    chart.set_text_position(division * (0.5f + 2.5f * static_cast<float>(k)), top);
    chart.print_text(entries[static_cast<size_t>(k)].text);
  }
  chart.set_foreground(saved);
}

}  // namespace zetra::chart
