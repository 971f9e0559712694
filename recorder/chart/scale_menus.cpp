#include "recorder/chart/scale_menus.h"

#include <cmath>

#include "recorder/chart/chart_view_rules.h"
#include "recorder/numbers/number_format.h"
#include "recorder/window/control_set.h"

namespace zetra::chart {
namespace {

// Checks `item` in its group, or clears the whole group when no item matches.
void check_or_clear(WindowModel& window, const char* group, const std::string& item) {
  if (!item.empty()) {
    window.check(item);
    return;
  }
  for (Control* member : window.group(group)) member->checked = false;
}

void rate_and_memory_in_line(RecorderContext& c) {
  const RecorderState& s = c.state;
  const double rate = 1.0 / s.sample_interval;
  const auto whole = numbers::round_half_even(rate);
  const bool listed = whole >= 1 && whole <= 5 && std::fabs(rate - whole) < 1e-4;
  check_or_clear(c.window, kRateGroup, listed ? "p" + std::to_string(whole) + "s1" : "");
  c.window["Timer1"].interval_ms =
      static_cast<int>(numbers::round_half_even(s.sample_interval * 1000.0));
  std::string item;
  for (const MemoryItem& memory : kMemoryItems) {
    if (memory.capacity == s.rec_capacity) item = memory.item;
  }
  check_or_clear(c.window, kMemoryGroup, item);
}

void time_scale_in_line(RecorderContext& c) {
  RecorderState& s = c.state;
  const double seconds = s.view_width / (20.0 / s.sample_interval);
  std::string item;
  for (const TimeChoice& choice : kTimeChoices) {
    if (std::fabs(seconds - choice.seconds) < 1e-3 * choice.seconds) item = choice.item;
  }
  check_or_clear(c.window, kTimeDivGroup, item);
  s.label_time = item.empty() ? numbers::format_shortest(static_cast<float>(seconds)) + "s"
                              : c.window[item].caption;
}

// The value item whose span is ten times its value; twin "" for CH1, "2" for CH2.
void value_scale_in_line(RecorderContext& c, float span, const char* group,
                         const std::string& twin, std::string& label) {
  std::string item;
  for (const char* name : kValueNames) {
    if (span == 10.0f * static_cast<float>(numbers::parse_number(name))) {
      item = "ppn" + std::string(name) + twin;
    }
  }
  check_or_clear(c.window, group, item);
  label = item.empty() ? numbers::format_shortest(span / 10) : c.window[item].caption;
}

void temperature_scale_in_line(RecorderContext& c, int16_t tspan, const char* group, bool ch2,
                               std::string& label) {
  std::string item;
  for (const TemperatureChoice& choice : kTemperatureChoices) {
    if (choice.tspan == tspan) item = ch2 ? choice.item2 : choice.item1;
  }
  check_or_clear(c.window, group, item);
  label = temperature_label(tspan);
}

// Sets a bar's position with its busy flag raised, so the change posts no scroll request.
void set_bar(WindowModel& window, const char* name, double position, int16_t& busy) {
  Control& bar = window[name];
  busy = 1;
  set_bar_position(bar, to_bar_value(position));
  window.scroll(name, bar.value);
  busy = 0;
}

}  // namespace

std::string scale_labels(const RecorderState& s) {
  std::string text = "DIV: ";
  for (const std::string* label :
       {&s.label_time, &s.label_div1, &s.label_div2, &s.label_tdiv1, &s.label_tdiv2}) {
    if (label != &s.label_time) text += '_';
    text += *label;
  }
  return text;
}

std::string temperature_label(int16_t tspan) {
  return numbers::format_shortest(static_cast<float>(tspan) / 10.0f) +
         std::string(numbers::kDegreeSign) + "C";
}

void set_up_horizontal_bar(RecorderContext& c) {
  if (live_follow(c.window)) {
    Procedures::call(c.procedures.nhs1_setb);
  } else if (c.state.shown_count > 1) {
    Procedures::call(c.procedures.nhs1_set);
  }
}

void bring_scale_controls_in_line(RecorderContext& c) {
  RecorderState& s = c.state;
  rate_and_memory_in_line(c);
  time_scale_in_line(c);
  value_scale_in_line(c, s.span1, kDiv1Group, "", s.label_div1);
  value_scale_in_line(c, s.span2, kDiv2Group, "2", s.label_div2);
  temperature_scale_in_line(c, s.tspan1, kTDiv1Group, false, s.label_tdiv1);
  temperature_scale_in_line(c, s.tspan2, kTDiv2Group, true, s.label_tdiv2);
  set_bar(c.window, "nvs2", s.tbase1, s.vs2_busy);
  set_bar(c.window, "nvs22", s.tbase2, s.vs22_busy);
  set_bar(c.window, "nvs1", -100.0 * s.offset1 / s.span1, s.vs1_busy);
  set_bar(c.window, "nvs12", -100.0 * s.offset2 / s.span2, s.vs12_busy);
  c.window["st1"].caption = scale_labels(s) + " ";
}

}  // namespace zetra::chart
