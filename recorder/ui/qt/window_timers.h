// Three real QTimers driven by the model's Timer1..Timer3: interval and enabled flag are mirrored
// after every event, and each timeout runs that timer's tick.
#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <functional>
#include <string>

#include "recorder/window/window_model.h"

namespace zetra::ui {

class WindowTimers {
 public:
  using Tick = std::function<void(const std::string& timer)>;
  WindowTimers(QObject& owner, WindowModel& window, Tick tick);

  void sync();
  QTimer& timer(int index) { return *timers_.at(static_cast<size_t>(index)); }

 private:
  WindowModel& window_;
  std::array<QTimer*, 3> timers_{};
};

}  // namespace zetra::ui
