// Exit (pexit, and closing the window): the save question, then the recording and the settings.
#pragma once

#include "recorder/window/recorder_context.h"

namespace zetra::files {

class RecordingCommands;

// Yes saves the recording (save_recording), then the settings (zetrasave), then ends the program
// (end_program); a failed save stops there. No saves the settings and ends. Cancel does nothing.
void bind_exit(RecorderContext& context, RecordingCommands& recording);

}  // namespace zetra::files
