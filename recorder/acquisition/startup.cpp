#include "recorder/acquisition/startup.h"

#include "platform/paths.h"
#include "recorder/numbers/number_format.h"

namespace zetra {
namespace {

void set_conditioning_defaults(RecorderState& s, WindowModel& window) {
  s.pa_per_nm1 = 1.0f;
  s.pa_per_nm2 = 2.0f;
  s.dev_no = 1;
  s.sample_interval = 1.0f / 2;
  window["Timer1"].interval_ms = 500;
  window["Timer1"].enabled = false;
  s.rec_next = 1;
  s.shown_count = s.view_start = s.pen_x = 1;
  s.zero_state1 = s.zero_state2 = 0;
  s.marker_pending = 0;
  s.zero_offset1 = s.zero_offset2 = 0;
  s.rec_capacity = kDefaultCapacity;
  s.tc_start1 = s.tc_start2 = 24.55f;
  s.tc_factor1 = s.tc_factor2 = 100.0f;
  s.filter_order = 8;
  s.filter_pos = 1;
}

// The chart's design colours: light yellow back, black fore; the traces' own colours.
void set_colour_defaults(RecorderState& s) {
  s.color_back = 12648447;
  s.color_grid = 0;
  s.color_cur1 = 16711680;   // blue
  s.color_temp1 = 255;       // red
  s.color_temp2 = 16711935;  // magenta
  s.color_cur2 = 65280;      // green
}

void set_scale_defaults(RecorderState& s, WindowModel& window) {
  s.view_width = 400;  // 10 s per division at 2 samples per second
  s.span1 = 2000;
  s.span2 = 5000;
  s.tspan1 = s.tspan2 = 100;
  window.check("pt10");
  window.check("pt102");
  // The labels of the start scales, until the settings file or the menus set others.
  const std::string ten_degrees = "10" + std::string(numbers::kDegreeSign) + "C";
  s.label_time = "10s";
  s.label_div1 = "200";
  s.label_div2 = "500";
  s.label_tdiv1 = s.label_tdiv2 = ten_degrees;
  s.offset1 = 200;
  s.vs1_busy = 1;  // a programmatic move posts no scroll request
  window.scroll("nvs1", -10);
  s.vs1_busy = 0;
  // CH2's zero sits where its bar says, one division up like CH1's, so that the CH2 labels (read
  // from the bar) and the CH2 trace (drawn with the offset) agree before any settings exist.
  s.offset2 = static_cast<float>(window["nvs12"].value / -100.0 * s.span2);
}

}  // namespace

void run_startup(RecorderContext& context) {
  RecorderState& s = context.state;
  s.app_path = context.platform.program_folder;
  s.help_file = platform::join_path(s.app_path, "zetrat.html");
  set_conditioning_defaults(s, context.window);
  set_colour_defaults(s);
  set_scale_defaults(s, context.window);
  Procedures::call(context.procedures.nhs1_setb);
  if (context.procedures.zetraopen) {
    context.procedures.zetraopen();  // restores the settings and allocates the store
  } else {
    s.allocate(s.rec_capacity);
  }
  s.file_name = platform::join_path(data_folder(context.platform), "file1.ztr");
  s.window_caption = "ZetraII [ " + s.file_name + " ]";
}

}  // namespace zetra
