#include "recorder/chart/readouts.h"

#include <string>

#include "recorder/numbers/number_format.h"

namespace zetra::chart {
namespace {

struct Channel {
  float live_cur, live_temp, range, tc_start, tc_factor, pa_per_nm;
  const char* main_field;
  const char* other_field;
  const char* temperature_field;
};

void show_channel(WindowModel& window, const Channel& c, bool compensated, bool in_pa) {
  const float pa = compensated ? c.live_cur - (c.live_temp - c.tc_start) * c.tc_factor : c.live_cur;
  const float nm = pa / c.pa_per_nm;
  const bool high = c.range != 0;
  const std::string pa_text = numbers::format_readout(pa, high, "pA");
  const std::string nm_text = numbers::format_readout(nm, high, "nM");
  window[c.main_field].caption = in_pa ? pa_text : nm_text;
  window[c.other_field].caption = in_pa ? nm_text : pa_text;
  window[c.temperature_field].caption = numbers::format_temperature(c.live_temp);
}

}  // namespace

void update_readouts(RecorderContext& context) {
  const RecorderState& s = context.state;
  WindowModel& window = context.window;
  const bool compensated = window["ptcmo"].checked;
  const bool in_pa = window["pspa"].checked;
  show_channel(window,
               {s.live_cur1, s.live_temp1, s.range1, s.tc_start1, s.tc_factor1, s.pa_per_nm1, "t2",
                "t1", "t4"},
               compensated, in_pa);
  show_channel(window,
               {s.live_cur2, s.live_temp2, s.range2, s.tc_start2, s.tc_factor2, s.pa_per_nm2, "t22",
                "t12", "t42"},
               compensated, in_pa);
}

}  // namespace zetra::chart
