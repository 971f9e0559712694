// Timer objects are named after their controls so tests and tools find them like any widget.
#include "recorder/ui/qt/window_timers.h"

namespace zetra::ui {
namespace {
const std::array<const char*, 3> kTimerNames = {"Timer1", "Timer2", "Timer3"};
}

WindowTimers::WindowTimers(QObject& owner, WindowModel& window, Tick tick) : window_(window) {
  for (size_t i = 0; i < timers_.size(); ++i) {
    auto* timer = new QTimer(&owner);
    timer->setObjectName(kTimerNames[i]);
    timer->setTimerType(Qt::PreciseTimer);  // 200 ms sample ticks should not drift by 5 %
    QObject::connect(timer, &QTimer::timeout, &owner,
                     [tick, name = std::string(kTimerNames[i])] { tick(name); });
    timers_[i] = timer;
  }
}

void WindowTimers::sync() {
  for (size_t i = 0; i < timers_.size(); ++i) {
    const Control& control = window_[kTimerNames[i]];
    QTimer& timer = *timers_[i];
    const int interval = control.interval_ms > 0 ? control.interval_ms : 1;
    // Setting the interval restarts a running timer, so only a real change touches it.
    if (timer.interval() != interval) timer.setInterval(interval);
    if (control.enabled && !timer.isActive()) timer.start();
    if (!control.enabled && timer.isActive()) timer.stop();
  }
}

}  // namespace zetra::ui
