#include "recorder/chart/chart_renderer.h"

#include <algorithm>

#include "recorder/chart/chart_view_rules.h"
#include "recorder/numbers/number_format.h"

namespace zetra::chart {
namespace {

float rnd(float value) { return static_cast<float>(numbers::round_half_even(value)); }

}  // namespace

ChartRenderer::ChartRenderer(RecorderContext& context, platform::Surface& chart,
                             platform::Surface& layer)
    : context_(context), chart_(chart), layer_(layer) {}

ChartRenderer::Pass ChartRenderer::begin_pass() const {
  const RecorderState& s = context_.state;
  Pass pass{};
  pass.nanomolar = !context_.window["pspa"].checked;
  pass.rule1 = channel_rule(s, 1);
  pass.rule2 = channel_rule(s, 2);
  pass.temperature_lines = context_.window["ptlon"].checked;
  pass.k2 = s.span1 / s.span2;
  pass.kt1 = s.span1 / s.tspan1;
  pass.kt2 = s.span1 / s.tspan2;
  pass.highest = std::max(1.0f, std::min(s.shown_count - 1, s.rec_capacity));
  return pass;
}

// The sample at chart x: index rnd(view_start + x), kept within the recording's arrays.
ChartRenderer::TracePoint ChartRenderer::point_at(const Pass& pass, float x) const {
  const RecorderState& s = context_.state;
  const auto i = static_cast<size_t>(std::clamp(rnd(s.view_start + x), 1.0f, pass.highest));
  const float t1 = s.rec_temp1[i];
  const float t2 = s.rec_temp2[i];
  const float v1 = pass.nanomolar ? pass.rule1.nanomolar(s.rec_cur1[i], t1)
                                  : pass.rule1.compensated_pa(s.rec_cur1[i], t1);
  const float v2 = pass.nanomolar ? pass.rule2.nanomolar(s.rec_cur2[i], t2)
                                  : pass.rule2.compensated_pa(s.rec_cur2[i], t2);
  return {s.offset1 + v1, (s.offset2 + v2) * pass.k2, (t1 - s.tbase1) * pass.kt1,
          (t2 - s.tbase2) * pass.kt2};
}

void ChartRenderer::first_point(const Pass& pass) {
  RecorderState& s = context_.state;
  const TracePoint p = point_at(pass, 1);
  s.last_x1 = s.last_x2 = 1;
  s.last_v1 = p.v1;
  s.last_v2 = p.v2;
  s.last_t1 = p.t1;
  s.last_t2 = p.t2;
}

// One segment per trace from the pen memory to the sample at pen_x.
void ChartRenderer::step(const Pass& pass) {
  RecorderState& s = context_.state;
  const float x = s.pen_x;
  const TracePoint p = point_at(pass, x);
  chart_.line(s.last_x1, s.last_v1, x, p.v1);
  chart_.line(s.last_x2, s.last_v2, x, p.v2, colour_of(s.color_cur2));
  if (pass.temperature_lines) {
    chart_.line(s.last_x1, s.last_t1, x, p.t1, colour_of(s.color_temp1));
    chart_.line(s.last_x2, s.last_t2, x, p.t2, colour_of(s.color_temp2));
  }
  s.last_v1 = p.v1;
  s.last_v2 = p.v2;
  s.last_t1 = p.t1;
  s.last_t2 = p.t2;
  s.last_x1 = s.last_x2 = x;
}

void ChartRenderer::collect(const Pass& pass, float x) {
  const TracePoint p = point_at(pass, x);
  ys_[0].push_back(p.v1);
  ys_[1].push_back(p.v2);
  ys_[2].push_back(p.t1);
  ys_[3].push_back(p.t2);
}

// The collected points from x = 1 to pen_x, each trace as one fast polyline: the same picture as
// the drawing steps, trace by trace. Leaves the pen memory at the last point.
void ChartRenderer::draw_collected(const Pass& pass) {
  RecorderState& s = context_.state;
  const int count = static_cast<int>(ys_[0].size());
  if (count == 0) return;
  chart_.polyline(1, ys_[0].data(), count);
  chart_.polyline(1, ys_[1].data(), count, colour_of(s.color_cur2));
  if (pass.temperature_lines) {
    chart_.polyline(1, ys_[2].data(), count, colour_of(s.color_temp1));
    chart_.polyline(1, ys_[3].data(), count, colour_of(s.color_temp2));
  }
  s.last_x1 = s.last_x2 = s.pen_x;
  s.last_v1 = ys_[0].back();
  s.last_v2 = ys_[1].back();
  s.last_t1 = ys_[2].back();
  s.last_t2 = ys_[3].back();
}

void ChartRenderer::shade_held(float newest) {
  const RecorderState& s = context_.state;
  for (const HeldStretch& held : s.held.list()) {
    if (static_cast<float>(held.first) > newest) break;
    const float last = std::min(static_cast<float>(held.last), newest);
    const float x1 = std::max(0.0f, static_cast<float>(held.first) - s.view_start - 0.5f);
    const float x2 = std::min(s.view_width, last - s.view_start + 0.5f);
    if (x1 < x2) chart_.fill_rect(x1, 0, x2, s.span1, kHeldShade);
  }
}

bool ChartRenderer::held_at(float x) const {
  const RecorderState& s = context_.state;
  if (s.held.empty()) return false;
  const float index = rnd(s.view_start + x);
  return index >= 1 && s.held.holds(static_cast<size_t>(index));
}

void ChartRenderer::set_chart_scale() {
  const RecorderState& s = context_.state;
  chart_.set_scale(s.span1, -s.span1, s.view_width);
}

void ChartRenderer::r_line() {
  RecorderState& s = context_.state;
  s.drawing = 1;
  set_chart_scale();
  chart_.clear();
  const float newest = s.shown_count - 1;
  shade_held(newest);
  d_grad();
  if (s.shown_count > 1 && rnd(s.view_start + 1) <= newest) {
    const Pass pass = begin_pass();
    for (auto& ys : ys_) ys.clear();
    s.pen_x = 1;
    collect(pass, s.pen_x);
    while (rnd(s.view_start + s.pen_x + 1) <= newest && s.pen_x + 1 <= s.view_width) {
      s.pen_x += 1;
      collect(pass, s.pen_x);
    }
    draw_collected(pass);
  }
  s.sel_start = s.sel_end = 0;
  s.drawing = 0;
  // The selection is gone and the samples under the pointer may be others.
  Procedures::call(context_.procedures.refresh_readout);
}

void ChartRenderer::r_linef() {
  RecorderState& s = context_.state;
  s.drawing = 1;
  chart_.clear();
  s.view_start += s.view_width / 10;
  s.pen_x = 1;
  shade_held(s.shown_count - 1);
  d_grad();
  const Pass pass = begin_pass();
  for (auto& ys : ys_) ys.clear();
  collect(pass, s.pen_x);
  while (s.view_start + s.pen_x + 1 <= s.shown_count - 1) {
    s.pen_x += 1;
    collect(pass, s.pen_x);
  }
  draw_collected(pass);
  s.drawing = 0;
}

void ChartRenderer::live_tick() {
  RecorderState& s = context_.state;
  if (s.drawing == 1) return;
  s.shown_count = s.rec_next;
  const Pass pass = begin_pass();
  bool held = false;
  while (rnd(s.view_start + s.pen_x) < rnd(s.shown_count)) {
    held = held || held_at(s.pen_x);
    if (s.pen_x == 1) {
      first_point(pass);
    } else {
      step(pass);
    }
    s.pen_x += 1;
    if (s.pen_x >= s.view_width) {
      r_linef();
      s.hs_busy = 1;
      const float capacity = s.rec_capacity > 0 ? s.rec_capacity : 1;
      set_bar_position(context_.window["nhs1"], to_bar_value(s.view_start * 32767 / capacity));
      s.hs_busy = 0;
    }
  }
  // Held samples are shaded behind the grid, the legend and the traces: drawn again whole, as
  // seldom as a silent unit brings them.
  if (held) r_line();
}

void ChartRenderer::clsp1() {
  RecorderState& s = context_.state;
  set_chart_scale();
  chart_.clear();
  s.clear();
  s.shown_count = s.view_start = s.pen_x = 1;
  context_.window["nt1"].caption = "Notes:";
  d_grad();
  chart_.set_text_position(0, 0);
}

}  // namespace zetra::chart
