// Drawing of the chart: the full redraw r_line, the page advance r_linef, the live plotter of
// Timer2, the grid and graduations d_grad and the clearing clsp1.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/surface.h"
#include "recorder/state/display_rule.h"
#include "recorder/window/recorder_context.h"

namespace zetra::chart {

// The shade behind samples the unit did not deliver (0x00BBGGRR): light grey.
inline constexpr platform::Colour kHeldShade = 0xD4D4D4;

class ChartRenderer {
 public:
  // `chart` is the chart p1 in chart units; `layer` is the window's own drawing layer in twips.
  ChartRenderer(RecorderContext& context, platform::Surface& chart, platform::Surface& layer);

  void r_line();
  void r_linef();
  void live_tick();  // Timer2
  void d_grad();
  void clsp1();

  platform::Surface& chart() { return chart_; }

 private:
  // The four y values of one sample in chart units.
  struct TracePoint {
    float v1, v2, t1, t2;
  };
  // What a drawing pass takes once at its start.
  struct Pass {
    bool nanomolar, temperature_lines;
    ChannelRule rule1, rule2;
    float k2, kt1, kt2;  // span1 / span2, span1 / tspan1, span1 / tspan2
    float highest;       // the highest index a pass reads: the newest sample, within the arrays
  };

  Pass begin_pass() const;
  TracePoint point_at(const Pass& pass, float x) const;
  void first_point(const Pass& pass);
  void step(const Pass& pass);
  void collect(const Pass& pass, float x);
  void draw_collected(const Pass& pass);
  // Shades the held stretches among the samples drawn, behind the traces: a band the width of
  // the samples over the chart's height.
  void shade_held(float newest);
  bool held_at(float x) const;  // whether the sample at chart x is held
  void set_chart_scale();
  void draw_grid();
  void draw_ticks(const platform::TwipsRect& chart);
  void draw_time_labels(const platform::TwipsRect& chart);
  void draw_value_labels(const platform::TwipsRect& chart);
  void print_at(float x, float y, const std::string& text);

  RecorderContext& context_;
  platform::Surface& chart_;
  platform::Surface& layer_;
  // The y values of a full pass, one per trace; reused so that a redraw allocates nothing once
  // the widest view has been drawn.
  std::vector<float> ys_[4];
};

}  // namespace zetra::chart
