#include "recorder/files/scale_controls.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "recorder/numbers/number_format.h"
#include "recorder/window/control_set.h"

namespace zetra::files {
namespace {

const std::string kDegreeC = std::string(numbers::kDegreeSign) + "C";

// Checks `item` in its group, or clears the whole group when there is no matching item.
void check_or_clear(WindowModel& window, const char* group, const std::string& item) {
  if (!item.empty() && window.has(item)) {
    window.check(item);
    return;
  }
  for (Control* member : window.group(group)) member->checked = false;
}

void sync_rate_and_memory(RecorderContext& c) {
  RecorderState& s = c.state;
  const double rate = 1.0 / s.sample_interval;
  const auto whole = numbers::round_half_even(rate);
  const bool listed = whole >= 1 && whole <= 5 && std::fabs(rate - whole) < 1e-4;
  check_or_clear(c.window, kRateGroup, listed ? "p" + std::to_string(whole) + "s1" : "");
  c.window["Timer1"].interval_ms =
      static_cast<int>(numbers::round_half_even(s.sample_interval * 1000.0));
  static const std::array<std::pair<float, const char*>, 6> memory = {
      {{100000, "pr100"}, {200000, "pr200"}, {500000, "pr500"},
       {1000000, "pr1m"}, {2000000, "pr2m"}, {5000000, "pr5m"}}};
  std::string item;
  for (const auto& [size, name] : memory) {
    if (size == s.rec_capacity) item = name;
  }
  check_or_clear(c.window, kMemoryGroup, item);
}

void sync_time_scale(RecorderContext& c) {
  RecorderState& s = c.state;
  const double seconds = s.view_width / (20.0 / s.sample_interval);
  const std::string text = numbers::format_shortest(static_cast<float>(seconds)) + "s";
  static const std::array<int, 10> listed = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
  std::string item;
  for (int n : listed) {
    if (std::fabs(seconds - n) < 1e-3 * n) item = "pt" + std::to_string(n) + "s";
  }
  check_or_clear(c.window, kTimeDivGroup, item);
  s.label_time = item.empty() ? text : c.window[item].caption;
}

// CH1 (twin "") or CH2 (twin "2") value scale: the item whose span is ten times its value.
void sync_value_scale(RecorderContext& c, float span, const char* group, const std::string& twin,
                      std::string& label) {
  static const std::array<int, 15> listed = {10,   20,    50,    100,    200,    500,    1000, 2000,
                                             5000, 10000, 20000, 50000, 100000, 200000, 500000};
  std::string item;
  for (int n : listed) {
    if (span == 10.0f * static_cast<float>(n)) item = "ppn" + std::to_string(n) + twin;
  }
  check_or_clear(c.window, group, item);
  label = item.empty() ? numbers::format_shortest(span / 10) : c.window[item].caption;
}

void sync_temperature_scale(RecorderContext& c, int16_t tspan, const char* group, bool ch2,
                            std::string& label) {
  static const std::array<std::pair<int16_t, const char*>, 10> t1 = {
      {{1, "pt01"}, {2, "pt02"}, {5, "pt05"}, {10, "pt1"}, {20, "pt2"},
       {50, "pt5"}, {100, "pt10"}, {120, "pt12"}, {150, "pt15"}, {200, "pt20"}}};
  static const std::array<const char*, 10> t2 = {"pt012", "pt022", "pt052", "pt12b", "pt22",
                                                 "pt52",  "pt102", "pt122", "pt152", "pt202"};
  std::string item;
  for (size_t i = 0; i < t1.size(); ++i) {
    if (t1[i].first == tspan) item = ch2 ? t2[i] : t1[i].second;
  }
  check_or_clear(c.window, group, item);
  label = numbers::format_shortest(static_cast<float>(tspan) / 10) + kDegreeC;
}

// Sets a bar's position with its busy flag raised, so the change posts no scroll request.
void set_bar(WindowModel& window, const char* name, double position, int16_t& busy) {
  Control& bar = window[name];
  const auto value = static_cast<int>(
      std::clamp<int64_t>(numbers::round_half_even(position), bar.minimum, bar.maximum));
  busy = 1;
  window.scroll(name, value);
  busy = 0;
}

}  // namespace

void sync_scale_controls(RecorderContext& c) {
  RecorderState& s = c.state;
  sync_rate_and_memory(c);
  sync_time_scale(c);
  sync_value_scale(c, s.span1, kDiv1Group, "", s.label_div1);
  sync_value_scale(c, s.span2, kDiv2Group, "2", s.label_div2);
  sync_temperature_scale(c, s.tspan1, kTDiv1Group, false, s.label_tdiv1);
  sync_temperature_scale(c, s.tspan2, kTDiv2Group, true, s.label_tdiv2);
  set_bar(c.window, "nvs2", s.tbase1, s.vs2_busy);
  set_bar(c.window, "nvs22", s.tbase2, s.vs22_busy);
  set_bar(c.window, "nvs1", -100.0 * s.offset1 / s.span1, s.vs1_busy);
  set_bar(c.window, "nvs12", -100.0 * s.offset2 / s.span2, s.vs12_busy);
  c.window["st1"].caption = "DIV: " + s.label_time + "_" + s.label_div1 + "_" + s.label_div2 +
                            "_" + s.label_tdiv1 + "_" + s.label_tdiv2 + " ";
}

void set_up_horizontal_bar(RecorderContext& c) {
  const bool follow = c.window["cre"].caption == "exam" && c.window["crec"].caption == "Stop";
  if (follow) {
    Procedures::call(c.procedures.nhs1_setb);
  } else if (c.state.shown_count > 1) {
    Procedures::call(c.procedures.nhs1_set);
  }
}

}  // namespace zetra::files
