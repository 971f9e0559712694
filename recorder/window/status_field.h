// The permanent field at the right of the status bar (`stfield`): what a user should know at a
// glance that the status line does not say — a running recording's fill, trouble with the unit or
// the recovery journal, and whether the recording is saved.
#pragma once

#include <string>

#include "recorder/state/recorder_state.h"

namespace zetra {

class WindowModel;

// The field's text from the notices and the change tracking, most urgent first.
std::string status_field_text(const RecorderState& state);
// Writes that text into `stfield`.
void show_status_field(const RecorderState& state, WindowModel& window);

}  // namespace zetra
