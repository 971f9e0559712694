// Drives a recorder as its window's timers would, at accelerated speed: Timer1 every sample
// interval, Timer2 every 400 ms and Timer3 every 700 ms of simulated time, no real waiting.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "recorder/app/recorder.h"

namespace zetra::testing {

class TimerClock {
 public:
  explicit TimerClock(Recorder& recorder) : recorder_(recorder) {}

  // Advances simulated time by `ms`, firing each enabled timer whose period has passed.
  void advance(int64_t ms) {
    for (int64_t step = 0; step < ms; step += 10) {
      now_ms_ += 10;
      fire("Timer1", next1_);
      fire("Timer2", next2_);
      fire("Timer3", next3_);
    }
  }
  int64_t now_ms() const { return now_ms_; }

 private:
  void fire(const char* timer, int64_t& next) {
    const Control& c = recorder_.window()[timer];
    if (!c.enabled || c.interval_ms <= 0) {
      next = now_ms_ + (c.interval_ms > 0 ? c.interval_ms : 10);
      return;
    }
    if (now_ms_ < next) return;
    next = now_ms_ + c.interval_ms;
    recorder_.tick(timer);
  }

  Recorder& recorder_;
  int64_t now_ms_ = 0, next1_ = 0, next2_ = 0, next3_ = 0;
};

// The held samples 1 .. rec_next - 1 of the four traces, for comparing before and after.
struct HeldSamples {
  std::vector<float> cur1, cur2, temp1, temp2;
  bool operator==(const HeldSamples&) const = default;
};

inline HeldSamples held_samples(const RecorderState& s, size_t count) {
  HeldSamples h;
  for (size_t i = 1; i <= count; ++i) {
    h.cur1.push_back(s.rec_cur1[i]);
    h.cur2.push_back(s.rec_cur2[i]);
    h.temp1.push_back(s.rec_temp1[i]);
    h.temp2.push_back(s.rec_temp2[i]);
  }
  return h;
}

// A hash of samples 1 .. count, bit for bit, to compare recordings across processes.
inline uint64_t samples_hash(const RecorderState& s, size_t count) {
  uint64_t hash = 1469598103934665603ull;
  for (size_t i = 1; i <= count; ++i) {
    for (float v : {s.rec_cur1[i], s.rec_cur2[i], s.rec_temp1[i], s.rec_temp2[i]}) {
      uint32_t bits;
      std::memcpy(&bits, &v, 4);
      hash = (hash ^ bits) * 1099511628211ull;
    }
  }
  return hash;
}

}  // namespace zetra::testing
