#include "recorder/chart/chart_scales.h"

#include <string>

#include "recorder/chart/chart_view_rules.h"
#include "recorder/chart/scale_menus.h"
#include "recorder/numbers/number_format.h"

namespace zetra::chart {
namespace {

constexpr float kBarEnd = 32767;

// Static chart: recording stopped, or examining.
bool static_chart(const WindowModel& window) {
  return window["cre"].caption == "norm" || window["crec"].caption == "Rec";
}

}  // namespace

void ChartScales::bind() {
  bind_time_menu();
  bind_value_menus();
  bind_temperature_menus();
  bind_scroll_bars();
  for (const char* unit : {"pspa", "psnm"}) {
    context_.window.on(unit, [this, unit] {
      context_.window.check(unit);
      Procedures::call(context_.procedures.r_line);
    });
  }
}

void ChartScales::bind_time_menu() {
  for (const TimeChoice& choice : kTimeChoices) {
    context_.window.on(choice.item, [this, choice] { choose_time(choice.item, choice.seconds); });
  }
}

void ChartScales::bind_value_menus() {
  for (const char* name : kValueNames) {
    const float per_division = static_cast<float>(numbers::parse_number(name));
    const std::string item1 = std::string("ppn") + name;
    const std::string item2 = item1 + "2";
    context_.window.on(item1, [this, item1, per_division] { choose_value(item1, per_division, 1); });
    context_.window.on(item2, [this, item2, per_division] { choose_value(item2, per_division, 2); });
  }
}

void ChartScales::bind_temperature_menus() {
  for (const TemperatureChoice& c : kTemperatureChoices) {
    context_.window.on(c.item1, [this, c] { choose_temperature(c.item1, c.tspan, 1); });
    context_.window.on(c.item2, [this, c] { choose_temperature(c.item2, c.tspan, 2); });
  }
}

// User moves post a request for Timer3; programmatic changes raise the busy flag first.
void ChartScales::bind_scroll_bars() {
  RecorderState& s = context_.state;
  context_.window.on("nhs1", [this, &s] {
    if (static_chart(context_.window) && s.hs_busy == 0) s.hs_request = 1;
  });
  context_.window.on("nvs1", [&s] { if (s.vs1_busy == 0) s.vs1_request = 1; });
  context_.window.on("nvs12", [&s] { if (s.vs12_busy == 0) s.vs12_request = 1; });
  context_.window.on("nvs2", [&s] { if (s.vs2_busy == 0) s.vs2_request = 1; });
  context_.window.on("nvs22", [&s] { if (s.vs22_busy == 0) s.vs22_request = 1; });
}

void ChartScales::update_status_line() {
  const RecorderState& s = context_.state;
  context_.window["st1"].caption = scale_labels(s) + " ";
}

void ChartScales::choose_time(const char* item, float seconds) {
  RecorderState& s = context_.state;
  context_.window.check(item);
  s.view_width = (1 / s.sample_interval) * seconds * 20;
  s.label_time = context_.window[item].caption;
  update_status_line();
  set_up_horizontal_bar(context_);
  resetp();
  Procedures::call(context_.procedures.r_line);
}

void ChartScales::choose_value(const std::string& item, float per_division, int channel) {
  RecorderState& s = context_.state;
  context_.window.check(item);
  const float span = per_division * 10;
  if (channel == 1) {
    s.span1 = span;
    s.offset1 = static_cast<float>(context_.window["nvs1"].value / -100.0 * s.span1);
    s.label_div1 = context_.window[item].caption;
  } else {
    s.span2 = span;
    s.offset2 = static_cast<float>(context_.window["nvs12"].value / -100.0 * s.span2);
    s.label_div2 = context_.window[item].caption;
  }
  update_status_line();
  Procedures::call(context_.procedures.r_line);
}

void ChartScales::choose_temperature(const std::string& item, int16_t tspan, int channel) {
  RecorderState& s = context_.state;
  context_.window.check(item);
  const std::string label = temperature_label(tspan);
  if (channel == 1) {
    s.tspan1 = tspan;
    s.label_tdiv1 = label;
  } else {
    s.tspan2 = tspan;
    s.label_tdiv2 = label;
  }
  update_status_line();
  Procedures::call(context_.procedures.r_line);
}

void ChartScales::resetp() {
  RecorderState& s = context_.state;
  if (!live_follow(context_.window)) return;
  s.shown_count = s.rec_next;
  s.view_start = s.rec_next <= s.view_width ? 1.0f : s.rec_next - 0.9f * s.view_width;
  s.pen_x = 1;
}

void ChartScales::nhs1_setb() {
  RecorderState& s = context_.state;
  Control& bar = context_.window["nhs1"];
  s.hs_busy = 1;
  const float capacity = s.rec_capacity > 0 ? s.rec_capacity : 1;
  bar.minimum = 0;
  bar.maximum = static_cast<int>(kBarEnd);
  set_bar_position(bar, to_bar_value(s.view_start * kBarEnd / capacity));
  // A step below 1 is no step at all; the bar keeps at least one.
  bar.large_change = std::max(1, to_bar_value(s.view_width * kBarEnd / capacity));
  bar.small_change = std::max(1, to_bar_value((s.view_width / 10) * kBarEnd / capacity));
  bar.visible = true;
  s.hs_busy = 0;
}

void ChartScales::nhs1_set() {
  RecorderState& s = context_.state;
  Control& bar = context_.window["nhs1"];
  s.hs_busy = 1;
  bar.maximum = static_cast<int>(kBarEnd);
  if (s.shown_count > s.view_width) {
    // A view left beyond the data (after a delete, say) is brought back into the recording.
    s.view_start = std::clamp(s.view_start, 1.0f, s.shown_count);
    bar.minimum = 0;
    set_bar_position(bar, to_bar_value(s.view_start * kBarEnd / s.shown_count));
    bar.large_change = std::max(1, to_bar_value(s.view_width * kBarEnd / s.shown_count));
    bar.small_change = std::max(1, to_bar_value((s.view_width / 10) * kBarEnd / s.shown_count));
  } else {
    s.view_start = 1;
    bar.minimum = static_cast<int>(kBarEnd);  // equal to the maximum: the bar cannot move
    set_bar_position(bar, bar.value);
  }
  bar.visible = true;
  s.hs_busy = 0;
}

void ChartScales::serve_scroll_requests() {
  RecorderState& s = context_.state;
  if (s.hs_request) serve_horizontal();
  if (s.vs1_request) serve_vertical("nvs1", s.vs1_request);
  if (s.vs12_request) serve_vertical("nvs12", s.vs12_request);
  if (s.vs2_request) serve_vertical("nvs2", s.vs2_request);
  if (s.vs22_request) serve_vertical("nvs22", s.vs22_request);
}

void ChartScales::serve_horizontal() {
  RecorderState& s = context_.state;
  Control& bar = context_.window["nhs1"];
  s.hs_request = 0;
  const int p = bar.value;
  bar.enabled = false;
  // The product outgrows a float's 24 bits: formed in double and rounded once, so that the far
  // right is exactly shown_count and never a step past the data.
  s.view_start = std::max(1.0f, static_cast<float>(p * static_cast<double>(s.shown_count) / kBarEnd));
  Procedures::call(context_.procedures.r_line);
  bar.enabled = true;
}

void ChartScales::serve_vertical(const char* name, int16_t& request) {
  RecorderState& s = context_.state;
  Control& bar = context_.window[name];
  request = 0;
  const int p = bar.value;
  bar.enabled = false;
  const std::string_view which = name;
  if (which == "nvs1") {
    s.offset1 = static_cast<float>(p / -100.0 * s.span1);
  } else if (which == "nvs12") {
    s.offset2 = static_cast<float>(p / -100.0 * s.span2);
  } else if (which == "nvs2") {
    s.tbase1 = static_cast<float>(p);
  } else {
    s.tbase2 = static_cast<float>(p);
  }
  Procedures::call(context_.procedures.r_line);
  bar.enabled = true;
}

}  // namespace zetra::chart
