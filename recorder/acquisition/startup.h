// The main window's load: defaults, settings file, recording store, file name and caption.
#pragma once

#include "recorder/window/recorder_context.h"

namespace zetra {

void run_startup(RecorderContext& context);

}  // namespace zetra
