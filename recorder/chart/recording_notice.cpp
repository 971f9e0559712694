#include "recorder/chart/recording_notice.h"

#include "recorder/numbers/number_format.h"

namespace zetra::chart {

std::string recording_notice_text(const RecorderState& s, const WindowModel& window) {
  if (window["crec"].caption != "Stop") return {};
  const double samples = s.rec_next > 1 ? s.rec_next - 1.0 : 0.0;
  // The time the samples in memory span at the present rate.
  return numbers::format_clock(samples * s.sample_interval) + " \xC2\xB7 " +
         numbers::format_count(samples) + " of " + numbers::format_count(s.rec_capacity) +
         " samples";
}

void update_recording_notice(RecorderContext& context) {
  std::string text = recording_notice_text(context.state, context.window);
  if (text == context.state.recording_notice) return;
  context.state.recording_notice = std::move(text);
  Procedures::call(context.procedures.show_status_field);
}

}  // namespace zetra::chart
