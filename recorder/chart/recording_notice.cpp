#include "recorder/chart/recording_notice.h"

#include "recorder/numbers/number_format.h"

namespace zetra::chart {

std::string recording_notice_text(const RecorderState& s, const WindowModel& window) {
  const bool running = window["crec"].caption == "Stop";
  const double samples = s.rec_next > 1 ? s.rec_next - 1.0 : 0.0;
  if (!running && !(s.recording_stopped && samples > 0)) return {};
  // The time the samples in memory span at the present rate.
  std::string text = numbers::format_clock(samples * s.sample_interval) + " \xC2\xB7 " +
                     numbers::format_count(samples) + " of " +
                     numbers::format_count(s.rec_capacity) + " samples";
  if (!running) text += " \xC2\xB7 stopped";
  return text;
}

void update_recording_notice(RecorderContext& context) {
  // Emptied (New, Delete all, a new rate): nothing stopped is held any more.
  if (!(context.state.rec_next > 1)) context.state.recording_stopped = false;
  std::string text = recording_notice_text(context.state, context.window);
  if (text == context.state.recording_notice) return;
  context.state.recording_notice = std::move(text);
  Procedures::call(context.procedures.show_status_field);
}

}  // namespace zetra::chart
