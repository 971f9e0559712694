// Scales and scrolling of the chart: the Time_DIV, CH1_DIV, CH2_DIV, T1_DIV and T2_DIV menus,
// the pA/nM choice, the status line, resetp, nhs1_set, nhs1_setb and the five scrollbars.
#pragma once

#include "recorder/window/recorder_context.h"

namespace zetra::chart {

class ChartScales {
 public:
  explicit ChartScales(RecorderContext& context) : context_(context) {}

  // Registers the menu and scrollbar handlers.
  void bind();

  void update_status_line();
  void resetp();
  void nhs1_setb();
  void nhs1_set();
  // The deferred scrollbar requests, horizontal first; each served one redraws.
  void serve_scroll_requests();

 private:
  void bind_time_menu();
  void bind_value_menus();
  void bind_temperature_menus();
  void bind_scroll_bars();
  void choose_time(const char* item, float seconds);
  void choose_value(const std::string& item, float per_division, int channel);
  void choose_temperature(const std::string& item, int16_t tspan, int channel);
  void serve_horizontal();
  void serve_vertical(const char* bar, int16_t& request);

  RecorderContext& context_;
};

}  // namespace zetra::chart
