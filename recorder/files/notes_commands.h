// The notes pane nt1: Notes on / Notes off, and Print notes on the default printer.
#pragma once

#include "recorder/window/recorder_context.h"

namespace zetra::files {

class NotesCommands {
 public:
  explicit NotesCommands(RecorderContext& context) : context_(context) {}

  void bind();
  void show_notes(bool on);
  void print_notes();

 private:
  RecorderContext& context_;
};

// Stores the window's current geometry in win_* unless it is maximised.
void remember_window_geometry(RecorderContext& context);

}  // namespace zetra::files
