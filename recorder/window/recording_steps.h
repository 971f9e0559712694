// Steps of the edit history as the window sees them: what surrounds the arrays (counters, view,
// notes, file name, rate and memory with their menu checks) is taken before and after a command
// and put back by Undo and Redo.
#pragma once

#include "recorder/window/recorder_context.h"

namespace zetra {

RecordingSnapshot take_snapshot(const RecorderState& state, const WindowModel& window);
// Puts the surroundings of `shot` back where a step went from `other` to `shot`: counters, view
// and the marks of held samples bit for bit; the notes, the file name with the caption, the rate
// (its item and the acquisition timer) and the memory item only where the step changed them, so
// that notes typed or a name saved under since then stay.
void restore_snapshot(RecorderState& state, WindowModel& window, const RecordingSnapshot& shot,
                      const RecordingSnapshot& other);

// A command changed the recording: `undo` takes the arrays back to `before`. Records the step
// (with the surroundings as they are now) and takes a new revision.
void record_step(RecorderContext& context, RecordingSnapshot before, StoreChange undo);

// Whether an emptying would lose anything: samples, or notes beyond the empty "Notes:".
bool holds_anything(const RecorderState& state, const WindowModel& window);

// Swaps fresh arrays into the store, keeping the old ones for the step that empties the store.
StoreChange set_aside_arrays(RecorderState& state);

}  // namespace zetra
