#include <ctime>

#include "platform/clock.h"

namespace zetra::platform {

int64_t SystemClock::seconds_of_day() const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return 0;
  return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

Clock& system_clock() {
  static SystemClock clock;
  return clock;
}

}  // namespace zetra::platform
