#include "recorder/analysis/chart_selection.h"

#include <cmath>
#include <string>

#include "recorder/acquisition/run_state.h"
#include "recorder/chart/scale_menus.h"
#include "recorder/numbers/number_format.h"

namespace zetra::analysis {
namespace {

struct ModeItem {
  const char* name;
  Measurement mode;
};

// Menu order, which is also the order the modes are tested in.
constexpr ModeItem kModeItems[] = {
    {"pvalue", Measurement::Delta},   {"pmax", Measurement::Maximum},
    {"pmin", Measurement::Minimum},   {"paver", Measurement::Average},
    {"psample", Measurement::Sample}, {"pinter", Measurement::Integral}};

}  // namespace

void ChartSelection::bind() {
  WindowModel& window = context_.window;
  window.chart_down = [this](const ChartMouse& m) { press(m.x); };
  window.chart_move = [this](const ChartMouse& m) { move(m.x); };
  window.chart_up = [this](const ChartMouse&) { release(); };
  window.chart_leave = [this] { leave(); };
  context_.procedures.refresh_readout = [this] { refresh(); };
  for (const ModeItem& item : kModeItems) {
    // The new mode applies from the next drag move; nothing is recomputed now.
    window.on(item.name, [&window, name = item.name] { window.check(name); });
  }
  RecorderState& s = context_.state;
  window.on("pintset", [this, &s] { ask_base_line(s.int_base1); });
  window.on("pintset2", [this, &s] { ask_base_line(s.int_base2); });
}

Measurement ChartSelection::mode() const {
  for (const ModeItem& item : kModeItems) {
    if (context_.window[item.name].checked) return item.mode;
  }
  return Measurement::Delta;
}

bool ChartSelection::accepted() const {
  return !recording(context_.window) || exam_mode(context_.window);
}

// A vertical line through the whole visible height; drawn twice at one x it leaves no trace.
void ChartSelection::invert_line(float x) {
  if (chart_ == nullptr) return;
  chart_->set_line_style(platform::LineStyle::Dotted);
  chart_->set_draw_mode(platform::DrawMode::Invert);
  chart_->line(x, chart_->scale_top(), x, chart_->scale_height());
}

void ChartSelection::press(float x) {
  RecorderState& s = context_.state;
  s.hover_x = x;
  if (!accepted()) return;
  // The old pair goes first; after a redraw both are 0 and the two inversions cancel.
  invert_line(s.sel_start);
  invert_line(s.sel_end);
  s.sel_start = x;
  s.sel_end = x + 0.002f * s.view_width;
  s.sel_scan = x;
  invert_line(s.sel_start);
  invert_line(s.sel_end);
  s.mouse_down = 1.0f;
}

void ChartSelection::move(float x) {
  RecorderState& s = context_.state;
  s.hover_x = x;
  if (!accepted()) return;
  if (s.mouse_down == 0 && s.view_start + x <= s.shown_count) {
    std::string text = hover_readout(s, x);
    if (text.empty()) return;
    s.readout = std::move(text);
    show_readout();
  } else if (s.mouse_down == 1.0f) {
    drag(x);
  }
}

void ChartSelection::drag(float x) {
  RecorderState& s = context_.state;
  invert_line(s.sel_end);
  s.sel_end = x;
  invert_line(s.sel_end);
  const float a = s.view_start + s.sel_start;
  const float b = s.view_start + s.sel_end;
  if (a > s.shown_count || b > s.shown_count || a <= 0 || b <= 0) return;
  measure(s, mode());  // when it has nothing to show, the previous readout is shown again
  show_readout();
}

void ChartSelection::release() {
  if (!accepted()) return;
  context_.state.mouse_down = 0;
  if (chart_ == nullptr) return;
  chart_->set_line_style(platform::LineStyle::Solid);
  chart_->set_draw_mode(platform::DrawMode::Copy);
}

void ChartSelection::leave() { context_.state.hover_x = -1; }

void ChartSelection::refresh() {
  RecorderState& s = context_.state;
  std::string text;
  if (s.hover_x >= 0 && accepted() && s.view_start + s.hover_x <= s.shown_count) {
    text = hover_readout(s, s.hover_x);
  }
  s.readout = std::move(text);
  context_.window["st1"].caption = s.readout.empty() ? chart::scale_labels(s) + " " : status_line(s);
}

void ChartSelection::show_readout() { context_.window["st1"].caption = status_line(context_.state); }

void ChartSelection::ask_base_line(float& base_line) {
  const std::string answer = context_.platform.dialogs.input_box(
      "Input integral base line value: ", "Integral setup", numbers::format_shortest(base_line));
  if (answer.empty()) return;
  const auto value = static_cast<float>(numbers::parse_number(answer));
  if (std::isfinite(value)) base_line = value;  // "abc" reads as 0; an overflow is refused
}

}  // namespace zetra::analysis
