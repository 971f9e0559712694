// Brings the scale menus, the acquisition timer, the value and temperature scroll bars, the scale
// labels and the status line in line with the scale fields, after a file has set them.
#pragma once

#include "recorder/window/recorder_context.h"

namespace zetra::files {

void sync_scale_controls(RecorderContext& context);

// The horizontal scroll bar after a load: against the capacity while the chart follows a
// running recording, otherwise against the recorded count when there is something to scroll.
void set_up_horizontal_bar(RecorderContext& context);

}  // namespace zetra::files
