#include "recorder/files/settings_commands.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "platform/paths.h"
#include "recorder/chart/scale_menus.h"
#include "recorder/files/field_limits.h"
#include "recorder/window/control_set.h"
#include "recorder/window/tc_mode.h"

namespace zetra::files {
namespace {

using limits::colour;
using limits::finite;
using limits::listed_rate;
using limits::listed_span;
using limits::listed_tspan;
using limits::listed_width;

// Copies `from` into `to` when the check accepts it; otherwise the start-up value stays.
template <class T, class Check>
void take(T& to, T from, Check check) {
  if (check(from)) to = from;
}

// The field of a menu group: `first` for its first item and so on, 0 when none is checked.
int16_t index_of_checked(const WindowModel& w, std::initializer_list<const char*> items,
                         int16_t first) {
  int16_t value = first;
  for (const char* item : items) {
    if (w[item].checked) return value;
    ++value;
  }
  return 0;
}

}  // namespace

void SettingsCommands::install() {
  context_.procedures.zetraopen = [this] { zetraopen(); };
  context_.procedures.zetrasave = [this] { zetrasave(); };
}

std::string SettingsCommands::path() const {
  return platform::join_path(data_folder(context_.platform), kSettingsFileName);
}

SettingsRecord SettingsCommands::collect() const {
  const RecorderState& s = context_.state;
  const WindowModel& w = context_.window;
  SettingsRecord r;
  r.pa_per_nm1 = s.pa_per_nm1;
  r.sample_interval = s.sample_interval;
  r.rec_capacity = s.rec_capacity;
  r.view_width = s.view_width;
  r.span1 = s.span1;
  r.offset1 = s.offset1;
  r.win_top = s.win_top;
  r.win_left = s.win_left;
  r.win_height = s.win_height;
  r.win_width = s.win_width;
  platform::WindowFrame* frame = context_.platform.frame;
  const bool maximised = frame != nullptr && frame->maximised();
  if (frame != nullptr && !maximised) {
    const platform::FrameGeometry g = frame->geometry();
    r.win_top = static_cast<float>(g.top);
    r.win_left = static_cast<float>(g.left);
    r.win_height = static_cast<float>(g.height);
    r.win_width = static_cast<float>(g.width);
  }
  r.window_state = maximised ? 2 : 0;
  r.connection = index_of_checked(
      w, {"pusb1", "pusb2", "pusb3", "pusb4", "pcom1", "pcom2", "pcom3", "pcom4"}, 1);
  r.unit = w["psnm"].checked ? 1 : 0;
  r.line_width = index_of_checked(w, {"pl1", "pl2", "pl3"}, 1);
  r.grid_off = w["pgoff"].checked ? 1 : 0;
  r.temp_line_on = w["ptlon"].checked ? 1 : 0;
  r.tc_off = w["ptcmf"].checked ? 1 : 0;
  r.color_back = s.color_back;
  r.color_grid = s.color_grid;
  r.color_cur1 = s.color_cur1;
  r.color_cur2 = s.color_cur2;
  r.color_temp1 = s.color_temp1;
  r.color_temp2 = s.color_temp2;
  r.tspan1 = s.tspan1;
  r.tspan2 = s.tspan2;
  r.tbase1 = s.tbase1;
  r.tbase2 = s.tbase2;
  r.tc_start1 = s.tc_start1;
  r.tc_start2 = s.tc_start2;
  r.tc_factor1 = s.tc_factor1;
  r.tc_factor2 = s.tc_factor2;
  r.pa_per_nm2 = s.pa_per_nm2;
  r.span2 = s.span2;
  r.offset2 = s.offset2;
  return r;
}

bool SettingsCommands::zetrasave() {
  const std::string error = write_settings(path(), collect(), faults);
  if (error.empty()) return true;
  context_.platform.dialogs.message_box("Cannot save the settings to " + path() + ": " + error + ".",
                                        "Exit Zetra", platform::MessageIcon::Exclamation,
                                        platform::MessageButtons::Ok);
  return false;
}

void SettingsCommands::zetraopen() {
  RecorderState& s = context_.state;
  SettingsRecord r;
  const bool found = read_settings(path(), r);  // a missing or short file changes nothing
  if (found) {
    apply_scales(r);
    apply_values(r);
    apply_choices(r);
    apply_window(r);
  }
  s.allocate(s.rec_capacity);
  if (found) chart::set_up_horizontal_bar(context_);
}

void SettingsCommands::apply_scales(const SettingsRecord& r) {
  RecorderState& s = context_.state;
  take(s.sample_interval, r.sample_interval, listed_rate);
  take(s.rec_capacity, r.rec_capacity, limits::memory_size);
  take(s.view_width, r.view_width, [&](float v) { return listed_width(v, s.sample_interval); });
  // A start-up width that does not fit a stored rate falls back to 10 s per division.
  if (!listed_width(s.view_width, s.sample_interval)) s.view_width = 200.0f / s.sample_interval;
  take(s.span1, r.span1, listed_span);
  take(s.span2, r.span2, listed_span);
  take(s.tspan1, r.tspan1, listed_tspan);
  take(s.tspan2, r.tspan2, listed_tspan);
  take(s.offset1, r.offset1, [&](float v) { return limits::value_offset(v, s.span1); });
  take(s.offset2, r.offset2, [&](float v) { return limits::value_offset(v, s.span2); });
  take(s.tbase1, r.tbase1, limits::temperature_base);
  take(s.tbase2, r.tbase2, limits::temperature_base);
  chart::bring_scale_controls_in_line(context_);
}

void SettingsCommands::apply_values(const SettingsRecord& r) {
  RecorderState& s = context_.state;
  take(s.pa_per_nm1, r.pa_per_nm1, limits::divisor);
  take(s.pa_per_nm2, r.pa_per_nm2, limits::divisor);
  take(s.tc_start1, r.tc_start1, finite);
  take(s.tc_start2, r.tc_start2, finite);
  take(s.tc_factor1, r.tc_factor1, finite);
  take(s.tc_factor2, r.tc_factor2, finite);
  take(s.color_back, r.color_back, colour);
  take(s.color_grid, r.color_grid, colour);
  take(s.color_cur1, r.color_cur1, colour);
  take(s.color_cur2, r.color_cur2, colour);
  take(s.color_temp1, r.color_temp1, colour);
  take(s.color_temp2, r.color_temp2, colour);
}

void SettingsCommands::apply_choices(const SettingsRecord& r) {
  RecorderState& s = context_.state;
  WindowModel& w = context_.window;
  if (r.grid_off == 0 || r.grid_off == 1) w.check(r.grid_off == 1 ? "pgoff" : "pgon");
  if (r.unit == 0 || r.unit == 1) w.check(r.unit == 1 ? "psnm" : "pspa");
  if (r.line_width >= 1 && r.line_width <= 3) w.check("pl" + std::to_string(r.line_width));
  if (r.temp_line_on == 0 || r.temp_line_on == 1) w.check(r.temp_line_on == 1 ? "ptlon" : "ptloff");
  if (r.tc_off == 0 || r.tc_off == 1) {
    show_tc_mode(s, w, r.tc_off == 0);
  }
  if (r.connection >= 1 && r.connection <= 4) {
    s.dev_no = static_cast<uint8_t>(r.connection);
    w.check("pusb" + std::to_string(r.connection));
  } else if (r.connection >= 5 && r.connection <= 8) {
    context_.platform.serial_port.select(r.connection - 4);
    w.check("pcom" + std::to_string(r.connection - 4));
  }
}

// The stored geometry, no larger than the screen and moved onto it, then maximised if it was.
void SettingsCommands::apply_window(const SettingsRecord& r) {
  RecorderState& s = context_.state;
  const float stored[] = {r.win_top, r.win_left, r.win_height, r.win_width};
  if (!std::all_of(std::begin(stored), std::end(stored), finite)) return;
  s.win_top = r.win_top;
  s.win_left = r.win_left;
  s.win_height = r.win_height;
  s.win_width = r.win_width;
  platform::WindowFrame* frame = context_.platform.frame;
  if (frame == nullptr || r.win_width <= 0 || r.win_height <= 0) return;
  const platform::FrameGeometry screen = frame->screen();
  platform::FrameGeometry g;
  g.height = std::min<double>(r.win_height, screen.height);
  g.width = std::min<double>(r.win_width, screen.width);
  g.top = std::clamp<double>(r.win_top, screen.top, screen.top + screen.height - g.height);
  g.left = std::clamp<double>(r.win_left, screen.left, screen.left + screen.width - g.width);
  frame->place(g);
  if (r.window_state == 2) frame->maximise();
}

}  // namespace zetra::files
