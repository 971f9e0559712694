// A time of day the test sets.
#pragma once

#include "platform/clock.h"

namespace zetra::testing {

class FakeClock final : public platform::Clock {
 public:
  int64_t now = 0;  // seconds since midnight
  int64_t seconds_of_day() const override { return now; }
  void set(int hours, int minutes, int seconds) { now = hours * 3600 + minutes * 60 + seconds; }
};

}  // namespace zetra::testing
