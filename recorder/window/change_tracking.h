// Whether the recording differs from what was last opened or written: every change of samples or
// notes takes a new revision, a successful open or write makes it the saved one. The status field
// shows the outcome.
#pragma once

#include "recorder/window/recorder_context.h"

namespace zetra {

// The recording or its notes changed.
void note_change(RecorderContext& context);
// What is in memory is now what is on disk (opened or written): the field says since when.
void note_saved(RecorderContext& context);
// The same after an open: the field says "Opened" with the time, which is not a time of saving.
void note_opened(RecorderContext& context);
// Nothing is held that could be lost (a new, empty recording): no time to show.
void note_clean(RecorderContext& context);

}  // namespace zetra
