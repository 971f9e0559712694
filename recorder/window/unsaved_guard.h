// The question before a command that would throw away unsaved changes (New, Open, a sample rate
// change, a memory change that empties the recording).
#pragma once

#include <string>

#include "recorder/window/recorder_context.h"

namespace zetra {

inline constexpr const char* kUnsavedQuestion =
    "The recording has unsaved changes. Save them first?";

// True when the command may go on: nothing unsaved (or nothing held that could be lost), No, or
// Yes and the save succeeded. Cancel,
// or a save that failed, stop it. `title` is the command's own.
bool may_discard_changes(RecorderContext& context, const std::string& title);

}  // namespace zetra
