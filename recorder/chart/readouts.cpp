#include "recorder/chart/readouts.h"

#include <string>

#include "recorder/numbers/number_format.h"
#include "recorder/state/display_rule.h"

namespace zetra::chart {
namespace {

struct Channel {
  ChannelRule rule;
  float live_cur, live_temp, range;
  const char* main_field;
  const char* other_field;
  const char* temperature_field;
};

void show_channel(WindowModel& window, const Channel& c, bool in_pa) {
  const float pa = c.rule.compensated_pa(c.live_cur, c.live_temp);
  const float nm = c.rule.nanomolar(c.live_cur, c.live_temp);
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
  const bool in_pa = window["pspa"].checked;
  show_channel(window, {channel_rule(s, 1), s.live_cur1, s.live_temp1, s.range1, "t2", "t1", "t4"},
               in_pa);
  show_channel(window, {channel_rule(s, 2), s.live_cur2, s.live_temp2, s.range2, "t22", "t12", "t42"},
               in_pa);
}

}  // namespace zetra::chart
