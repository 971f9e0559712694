#include "recorder/analysis/undo_commands.h"

#include "recorder/acquisition/run_state.h"
#include "recorder/window/change_tracking.h"
#include "recorder/window/recording_steps.h"

namespace zetra::analysis {

void UndoCommands::bind() {
  context_.window.on("pundo", [this] { undo(); });
  context_.window.on("predo", [this] { redo(); });
  context_.procedures.show_history = [this] { show_history(); };
}

void UndoCommands::show_history() {
  const bool idle = !recording(context_.window);
  const EditHistory& history = context_.state.history;
  context_.window["pundo"].enabled = idle && history.can_undo();
  context_.window["predo"].enabled = idle && history.can_redo();
}

bool UndoCommands::undo() {
  RecorderState& s = context_.state;
  if (recording(context_.window)) return false;
  const EditStep* step = s.history.undo(s);
  if (step == nullptr) return false;
  show(step->before, step->after);
  return true;
}

bool UndoCommands::redo() {
  RecorderState& s = context_.state;
  if (recording(context_.window)) return false;
  const EditStep* step = s.history.redo(s);
  if (step == nullptr) return false;
  show(step->after, step->before);
  return true;
}

// The surroundings come back, the chart is redrawn over them, and the view the redraw moved is
// put back exactly as it was.
void UndoCommands::show(const RecordingSnapshot& shot, const RecordingSnapshot& other) {
  RecorderState& s = context_.state;
  restore_snapshot(s, context_.window, shot, other);
  if (s.shown_count > 1) Procedures::call(context_.procedures.nhs1_set);
  Procedures::call(context_.procedures.r_line);
  s.view_start = shot.view_start;
  s.shown_count = shot.shown_count;
  s.pen_x = shot.pen_x;
  note_change(context_);
  show_history();
}

}  // namespace zetra::analysis
