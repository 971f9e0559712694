#include "recorder/analysis/edit_operations.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "recorder/acquisition/run_state.h"
#include "recorder/analysis/clipboard_text.h"
#include "recorder/window/recording_steps.h"

namespace zetra::analysis {
namespace {

// The four traces of the store with their copy-buffer twins, in the order the system copies them.
struct TracePair {
  FloatArray& trace;
  std::vector<float>& buffer;
};

std::vector<TracePair> trace_pairs(RecorderState& s) {
  return {{s.rec_cur1, s.clip_cur1},
          {s.rec_temp1, s.clip_temp1},
          {s.rec_cur2, s.clip_cur2},
          {s.rec_temp2, s.clip_temp2}};
}

}  // namespace

void EditOperations::bind() {
  WindowModel& window = context_.window;
  for (const char* name : {"ccopy", "pcopy"}) window.on(name, [this] { copy(); });
  for (const char* name : {"ccut", "pcut"}) window.on(name, [this] { cut(); });
  for (const char* name : {"cpaste", "ppaste"}) window.on(name, [this] { paste(); });
  for (const char* name : {"cdeleta", "pdelete"}) window.on(name, [this] { delete_selection(); });
  window.on("pcleara", [this] { delete_all(); });
  window.on("pcwg", [this] { copy_wave_graph(); });
}

bool EditOperations::valid_selection() const {
  const RecorderState& s = context_.state;
  const float a = s.sel_start + s.view_start;
  const float b = s.sel_end + s.view_start;
  return a < s.rec_next && b < s.rec_next && a > 0 && b > 0;
}

IndexRun EditOperations::selected_samples(float& first_position) const {
  const RecorderState& s = context_.state;
  const float left = std::min(s.sel_start, s.sel_end) + s.view_start;
  const float right = std::max(s.sel_start, s.sel_end) + s.view_start;
  const int64_t start = index_of(left);
  const IndexRun run = clip_walk(start, walk_visits(left, right), false, last_recorded(s));
  first_position = left;
  for (int64_t skipped = start; skipped < run.first; ++skipped) first_position += 1.0f;
  return run;
}

void EditOperations::show_busy(bool busy) {
  context_.window.screen_pointer = busy ? Pointer::Busy : Pointer::Default;
  context_.window["p1"].pointer = busy ? Pointer::Busy : Pointer::Cross;
}

bool EditOperations::copy() {
  RecorderState& s = context_.state;
  if (!valid_selection() || s.sel_start == s.sel_end) return false;
  show_busy(true);
  float first_position = 0;
  const IndexRun run = selected_samples(first_position);
  const auto count = static_cast<size_t>(run.count);
  for (TracePair pair : trace_pairs(s)) {
    pair.buffer.assign(count + 1, 0.0f);  // index 0 is never used
    if (count > 0) {
      std::copy_n(pair.trace.data() + run.first, count, pair.buffer.begin() + 1);
    }
  }
  s.clip_count = static_cast<float>(count);
  s.clip_held = s.held.slice(static_cast<size_t>(run.first), count);
  const std::string text =
      table_text(s, s, TableRange{first_position, static_cast<size_t>(run.first), count});
  context_.platform.clipboard.clear();
  context_.platform.clipboard.set_text(text);
  show_busy(false);
  return true;
}

// Takes the run out of the recording: every later sample moves down, the newest one included.
// Returns what puts the run back.
StoreChange EditOperations::remove(IndexRun run) {
  RecorderState& s = context_.state;
  if (run.count == 0) return {};
  const int64_t end = last_recorded(s) + 1;
  StoreChange undo = s.remove_range(static_cast<size_t>(run.first),
                                    static_cast<size_t>(run.count), static_cast<size_t>(end));
  s.rec_next -= static_cast<float>(run.count);
  s.shown_count = s.rec_next;
  s.held.remove(static_cast<size_t>(run.first), static_cast<size_t>(run.count));
  return undo;
}

// After an edit: the horizontal scrollbar against the right count, then a full redraw.
void EditOperations::follow_up() {
  const RecorderState& s = context_.state;
  Procedures& procedures = context_.procedures;
  if (recording(context_.window) && !exam_mode(context_.window)) {
    Procedures::call(procedures.nhs1_setb);
  } else if (s.shown_count > 1) {
    Procedures::call(procedures.nhs1_set);
  }
  Procedures::call(procedures.r_line);
}

// A step for Undo, unless nothing moved (a run of no samples).
void EditOperations::record(RecordingSnapshot before, StoreChange undo) {
  if (undo.kind == StoreChange::Kind::None) return;
  record_step(context_, std::move(before), std::move(undo));
}

bool EditOperations::delete_selection() {
  const RecorderState& s = context_.state;
  if (!valid_selection() || s.sel_start == s.sel_end) return false;
  RecordingSnapshot before = take_snapshot(s, context_.window);
  float first_position = 0;
  StoreChange undo = remove(selected_samples(first_position));
  follow_up();
  record(std::move(before), std::move(undo));
  return true;
}

bool EditOperations::cut() {
  RecordingSnapshot before = take_snapshot(context_.state, context_.window);
  if (!copy()) return false;
  float first_position = 0;
  StoreChange undo = remove(selected_samples(first_position));
  follow_up();
  RecorderState& s = context_.state;
  s.pen_x = s.shown_count - s.view_start;
  record(std::move(before), std::move(undo));
  return true;
}

// Inserts the whole copy buffer before the sample at the selection's left edge.
bool EditOperations::paste() {
  RecorderState& s = context_.state;
  if (!valid_selection() || !(s.clip_count > 1) || s.sel_start == s.sel_end) return false;
  if (s.rec_next + s.clip_count > s.rec_capacity) return false;  // no room: nothing changes
  const int64_t count = index_of(s.clip_count);
  const int64_t end = last_recorded(s) + 1;
  const auto size = static_cast<int64_t>(s.rec_cur1.size());
  if (static_cast<int64_t>(s.clip_cur1.size()) < count + 1 || end + count > size) return false;
  const float left = std::min(s.sel_start, s.sel_end) + s.view_start;
  const int64_t at = std::clamp<int64_t>(index_of(left), 1, end);
  RecordingSnapshot before = take_snapshot(s, context_.window);
  TraceRun run;
  for (auto [part, buffer] : {std::pair{&run.cur1, &s.clip_cur1}, std::pair{&run.cur2, &s.clip_cur2},
                              std::pair{&run.temp1, &s.clip_temp1},
                              std::pair{&run.temp2, &s.clip_temp2}}) {
    part->assign(buffer->begin() + 1, buffer->begin() + 1 + count);
  }
  StoreChange undo = s.insert_range(static_cast<size_t>(at), std::move(run),
                                    static_cast<size_t>(end));
  s.rec_next += static_cast<float>(count);
  s.shown_count = s.rec_next;
  // Held copies stay marked wherever they are pasted.
  s.held.insert(static_cast<size_t>(at), static_cast<size_t>(count), s.clip_held);
  follow_up();
  record(std::move(before), std::move(undo));
  return true;
}

void EditOperations::delete_all() {
  const platform::MessageAnswer answer = context_.platform.dialogs.message_box(
      "Delete all data then start from the beginning", "Delete all",
      platform::MessageIcon::Exclamation, platform::MessageButtons::OkCancel);
  if (answer != platform::MessageAnswer::Ok) return;
  RecorderState& s = context_.state;
  if (!holds_anything(s, context_.window)) {
    Procedures::call(context_.procedures.clsp1);
    return;
  }
  RecordingSnapshot before = take_snapshot(s, context_.window);
  StoreChange undo = set_aside_arrays(s);  // the old arrays wait for Undo as they are
  Procedures::call(context_.procedures.clsp1);
  record_step(context_, std::move(before), std::move(undo));
}

void EditOperations::copy_wave_graph() {
  context_.platform.clipboard.clear();
  if (chart_ != nullptr) context_.platform.clipboard.set_bitmap(chart_->bitmap());
}

}  // namespace zetra::analysis
