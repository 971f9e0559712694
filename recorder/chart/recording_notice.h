// Recording at a glance: while a recording runs, the status field shows how long it is and how
// full the memory is ("00:12:31 · 3,756 of 100,000 samples"); after Stop it keeps them with
// " · stopped" until the recording is emptied or another is opened.
#pragma once

#include <string>

#include "recorder/window/recorder_context.h"

namespace zetra::chart {

// The notice for the state as it stands; empty unless a recording runs or was stopped.
std::string recording_notice_text(const RecorderState& state, const WindowModel& window);

// Puts the notice into the state and recomposes the status field when it changed.
void update_recording_notice(RecorderContext& context);

}  // namespace zetra::chart
