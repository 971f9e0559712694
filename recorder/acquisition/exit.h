// Ending the program: Exit (pexit) and the window's close box ask "Save data before exit?".
#pragma once

#include "recorder/window/recorder_context.h"

namespace zetra {

class ExitControl {
 public:
  explicit ExitControl(RecorderContext& context) : context_(context) {}

  void bind();
  // Yes: save the recording, then the settings, then end. No: the settings, then end.
  // Cancel: nothing; the window stays open.
  void exit_program();

 private:
  RecorderContext& context_;
};

}  // namespace zetra
