// The named procedures that handlers of one subsystem call in another (r_line, clsp1, ...).
// Each subsystem installs its own when the recorder is put together; an unset one does nothing.
#pragma once

#include <functional>

namespace zetra {

struct Procedures {
  using Procedure = std::function<void()>;
  Procedure r_line;     // full chart redraw
  Procedure r_linef;    // page advance of the live chart
  Procedure d_grad;     // grid and graduations
  Procedure clsp1;      // clear the chart and the recording
  Procedure resetp;     // view back to the newest data
  Procedure nhs1_set;   // horizontal scrollbar over the whole recording
  Procedure nhs1_setb;  // horizontal scrollbar while recording
  Procedure zetraopen;  // read the settings file
  Procedure zetrasave;  // write the settings file
  // The Save command; false when the recording could not be written (the user was told why).
  std::function<bool()> save_recording;
  Procedure form_resize;     // lay the window out again at its present size, then redraw
  Procedure end_program;     // close the main window for good (the exit question is answered)
  Procedure show_status_field;  // compose `stfield` from the saved state and the notices
  Procedure show_history;       // enable Undo and Redo as the history and the run state allow
  Procedure show_recording_notice;  // bring the recording's length and count up to date now
  // After a redraw: the status line's readout for the pointer where it is now, or none.
  Procedure refresh_readout;

  static void call(const Procedure& procedure) {
    if (procedure) procedure();
  }
};

}  // namespace zetra
