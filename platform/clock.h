// The time of day, as the recorder shows it ("Saved 14:02:11"). Tests hand in a clock they set.
#pragma once

#include <cstdint>

namespace zetra::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since local midnight, 0 .. 86399.
  virtual int64_t seconds_of_day() const = 0;
};

// The system's local time.
class SystemClock final : public Clock {
 public:
  int64_t seconds_of_day() const override;
};

// The system clock, for a Platform that names none.
Clock& system_clock();

}  // namespace zetra::platform
