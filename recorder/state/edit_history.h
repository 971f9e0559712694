// The edit history behind Undo and Redo: each step holds the change of the arrays that takes it
// back (or makes it again) and the counters, view and notes on either side of it, never a copy of
// the whole recording. The steps are kept within a memory budget, the oldest dropped first.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "recorder/state/recording_store.h"

namespace zetra {

inline constexpr size_t kHistoryBudgetBytes = size_t{512} << 20;

// What surrounds the arrays of a recording: restored exactly by an undo or redo.
struct RecordingSnapshot {
  float rec_next = 1, rec_capacity = 0;
  float shown_count = 1, view_start = 1, pen_x = 1, view_width = 400;
  float sample_interval = 0.5f;
  std::string notes;
  std::string file_name;
  HeldStretches held;
};

struct EditStep {
  RecordingSnapshot before, after;
  StoreChange change;  // undoes the step while it waits for Undo, redoes it while it waits for Redo
  size_t bytes() const;
};

class EditHistory {
 public:
  explicit EditHistory(size_t budget_bytes = kHistoryBudgetBytes) : budget_(budget_bytes) {}

  // A new step ends every redo; the oldest steps go while the history is over its budget (the
  // newest step always stays, whatever it costs).
  void record(EditStep step);
  bool can_undo() const { return !undo_.empty(); }
  bool can_redo() const { return !redo_.empty(); }
  // Takes the newest step back on the store and returns it (its `before` is what to restore);
  // nullptr when there is nothing to undo.
  const EditStep* undo(RecordingStore& store);
  // Makes the step last undone again and returns it (its `after` is what to restore).
  const EditStep* redo(RecordingStore& store);
  void clear();

  size_t undo_steps() const { return undo_.size(); }
  size_t redo_steps() const { return redo_.size(); }
  size_t bytes() const { return bytes_; }
  size_t budget() const { return budget_; }

 private:
  void trim();

  std::deque<EditStep> undo_, redo_;
  size_t bytes_ = 0;
  size_t budget_;
};

}  // namespace zetra
