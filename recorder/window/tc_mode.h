// Temperature compensation on or off as the window shows it: the state flag, the menu check and
// the two "TC mode on" labels always change together.
#pragma once

#include "recorder/state/recorder_state.h"
#include "recorder/window/window_model.h"

namespace zetra {

inline void show_tc_mode(RecorderState& state, WindowModel& window, bool on) {
  state.tc_on = on;
  window.check(on ? "ptcmo" : "ptcmf");
  window["t5"].visible = on;
  window["t52"].visible = on;
}

}  // namespace zetra
