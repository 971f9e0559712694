// Timer ids 1..3 are Timer1..Timer3. SetTimer on a running id restarts it, so only a real change of
// the interval or the flag touches a timer.
#include "recorder/ui/win32/window_timers.h"

namespace zetra::ui {
namespace {
const std::array<const char*, 3> kTimerNames = {"Timer1", "Timer2", "Timer3"};
}

WindowTimers::~WindowTimers() {
  for (size_t i = 0; i < running_.size(); ++i) {
    if (running_[i]) ::KillTimer(owner_, i + 1);
  }
}

std::string WindowTimers::name_of(UINT_PTR id) {
  return id >= 1 && id <= kTimerNames.size() ? kTimerNames[id - 1] : "";
}

void WindowTimers::sync() {
  for (size_t i = 0; i < running_.size(); ++i) {
    const Control& control = window_[kTimerNames[i]];
    const int interval = control.interval_ms > 0 ? control.interval_ms : 1;
    if (control.enabled && (!running_[i] || interval_[i] != interval)) {
      ::SetTimer(owner_, i + 1, static_cast<UINT>(interval), nullptr);
      running_[i] = true;
      interval_[i] = interval;
    } else if (!control.enabled && running_[i]) {
      ::KillTimer(owner_, i + 1);
      running_[i] = false;
    }
  }
}

}  // namespace zetra::ui
