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
  // The room left in the notes field: the pane's limit, and the notes notice of the status field
  // (the bytes left while the pane shows; at all times, what does not fit).
  void show_room();

 private:
  RecorderContext& context_;
};

// The status field's words for the notes field's room (empty when there is nothing to say).
std::string notes_room_notice(int64_t room, size_t unlisted, bool pane_shown);

// Stores the window's current geometry in win_* unless it is maximised.
void remember_window_geometry(RecorderContext& context);

}  // namespace zetra::files
