// Exit (pexit, and closing the window): the save question, then the recording and the settings.
#pragma once

#include "recorder/window/recorder_context.h"

namespace zetra::files {

class RecordingCommands;
class SettingsCommands;

void bind_exit(RecorderContext& context, RecordingCommands& recording, SettingsCommands& settings);

}  // namespace zetra::files
