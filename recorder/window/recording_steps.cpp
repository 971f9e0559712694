#include "recorder/window/recording_steps.h"

#include <string>
#include <utility>

#include "recorder/numbers/number_format.h"
#include "recorder/window/change_tracking.h"
#include "recorder/window/control_set.h"

namespace zetra {

RecordingSnapshot take_snapshot(const RecorderState& s, const WindowModel& window) {
  RecordingSnapshot shot;
  shot.rec_next = s.rec_next;
  shot.rec_capacity = s.rec_capacity;
  shot.shown_count = s.shown_count;
  shot.view_start = s.view_start;
  shot.pen_x = s.pen_x;
  shot.view_width = s.view_width;
  shot.sample_interval = s.sample_interval;
  shot.notes = window["nt1"].caption;
  shot.file_name = s.file_name;
  shot.held = s.held;
  return shot;
}

void restore_snapshot(RecorderState& s, WindowModel& window, const RecordingSnapshot& shot,
                      const RecordingSnapshot& other) {
  s.rec_next = shot.rec_next;
  s.rec_capacity = shot.rec_capacity;  // always the capacity of the arrays now in the store
  s.shown_count = shot.shown_count;
  s.view_start = shot.view_start;
  s.pen_x = shot.pen_x;
  s.held = shot.held;
  if (shot.notes != other.notes) window["nt1"].caption = shot.notes;
  if (shot.file_name != other.file_name) {
    s.file_name = shot.file_name;
    s.window_caption = "ZetraII [ " + s.file_name + " ]";
  }
  if (shot.sample_interval != other.sample_interval || shot.view_width != other.view_width) {
    s.view_width = shot.view_width;
    s.sample_interval = shot.sample_interval;
    window["Timer1"].interval_ms =
        static_cast<int>(numbers::round_half_even(s.sample_interval * 1000.0));
    const std::string rate_item =
        "p" + std::to_string(numbers::round_half_even(1.0 / s.sample_interval)) + "s1";
    if (window.has(rate_item)) window.check(rate_item);
  }
  for (const MemoryItem& memory : kMemoryItems) {
    if (memory.capacity == s.rec_capacity) window.check(memory.item);
  }
}

void record_step(RecorderContext& context, RecordingSnapshot before, StoreChange undo) {
  EditStep step;
  step.before = std::move(before);
  step.after = take_snapshot(context.state, context.window);
  step.change = std::move(undo);
  context.state.history.record(std::move(step));
  note_change(context);
  Procedures::call(context.procedures.show_history);
}

bool holds_anything(const RecorderState& state, const WindowModel& window) {
  return state.rec_next > 1 || window["nt1"].caption != "Notes:";
}

StoreChange set_aside_arrays(RecorderState& state) {
  return state.swap_arrays(RecordingStore::fresh_arrays(state.rec_capacity));
}

}  // namespace zetra
