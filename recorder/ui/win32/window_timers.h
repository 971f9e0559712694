// The model's Timer1..Timer3 as SetTimer timers of the main window: interval and enabled flag are
// mirrored after every event; each WM_TIMER runs that timer's tick.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "recorder/window/window_model.h"

namespace zetra::ui {

class WindowTimers {
 public:
  WindowTimers(HWND owner, WindowModel& window) : owner_(owner), window_(window) {}
  ~WindowTimers();

  void sync();
  // The model's timer of a WM_TIMER id; empty for another id.
  static std::string name_of(UINT_PTR id);
  // Whether a timer runs, and at what interval (tests).
  bool running(int index) const { return running_.at(static_cast<size_t>(index)); }
  int interval_ms(int index) const { return interval_.at(static_cast<size_t>(index)); }

 private:
  HWND owner_;
  WindowModel& window_;
  std::array<bool, 3> running_{};
  std::array<int, 3> interval_{};
};

}  // namespace zetra::ui
