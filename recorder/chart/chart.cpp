#include "recorder/chart/chart.h"

#include "recorder/chart/chart_view_rules.h"
#include "recorder/chart/readouts.h"
#include "recorder/chart/recording_notice.h"

namespace zetra::chart {

Chart::Chart(RecorderContext& context, platform::Surface& chart, platform::Surface& layer)
    : context_(context), scales_(context), navigation_(context, scales_),
      renderer_(context, chart, layer),
      appearance_(context, chart) {
  geometry_.width = kMinimumWidthTwips;
  geometry_.height = kMinimumHeightTwips;
  layout_ = lay_out_window(geometry_.width, geometry_.height, false);
}

void Chart::bind() {
  scales_.bind();
  navigation_.bind();
  appearance_.bind();
  WindowModel& window = context_.window;
  window.on("Timer2", [this] { renderer_.live_tick(); });
  window.on("Timer3", [this] { timer3(); });
  Procedures& p = context_.procedures;
  p.r_line = [this] { renderer_.r_line(); };
  p.r_linef = [this] { renderer_.r_linef(); };
  p.d_grad = [this] { renderer_.d_grad(); };
  p.clsp1 = [this] { renderer_.clsp1(); };
  p.resetp = [this] { scales_.resetp(); };
  p.nhs1_set = [this] { scales_.nhs1_set(); };
  p.nhs1_setb = [this] { scales_.nhs1_setb(); };
  p.form_resize = [this] { resize(geometry_); };
  p.show_recording_notice = [this] { update_recording_notice(context_); };
}

void Chart::resize(const WindowGeometry& geometry) {
  if (geometry.minimized) return;
  geometry_ = geometry;
  layout_ = lay_out_window(geometry.width - geometry.border_width,
                           geometry.height - geometry.extra_height,
                           context_.window["pnoteson"].checked);
  geometry_.width = layout_.width + geometry.border_width;
  geometry_.height = layout_.height + geometry.extra_height;
  if (apply_layout) apply_layout(layout_);
  if (!geometry.maximized) {
    RecorderState& s = context_.state;
    s.win_top = geometry.top;
    s.win_left = geometry.left;
    s.win_height = geometry_.height;
    s.win_width = geometry_.width;
  }
  Procedures::call(context_.procedures.r_line);
}

void Chart::show_started() {
  const RecorderState& s = context_.state;
  platform::Surface& surface = renderer_.chart();
  surface.set_background(colour_of(s.color_back));
  surface.set_foreground(colour_of(s.color_cur1));
  const WindowModel& window = context_.window;
  surface.set_pen_width(window["pl3"].checked ? 3 : window["pl2"].checked ? 2 : 1);
  scales_.update_status_line();
  Procedures::call(context_.procedures.r_line);
}

void Chart::timer3() {
  update_readouts(context_);
  update_recording_notice(context_);
  scales_.serve_scroll_requests();
}

}  // namespace zetra::chart
