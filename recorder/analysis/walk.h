// Walks over consecutive samples, shared by the measurements and the edit commands. A walk rounds
// its start position once (halves to even) and then steps through whole indices, so that no
// sample is visited twice or skipped when positions carry a half.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "recorder/numbers/number_format.h"
#include "recorder/state/recorder_state.h"

namespace zetra::analysis {

// Consecutive indices first .. first + count - 1 (count 0: none).
struct IndexRun {
  int64_t first = 0;
  int64_t count = 0;
  int64_t last() const { return first + count - 1; }
};

// How many positions a walk from `from` towards `to` visits in steps of one, the start included
// and `to` excluded, counted the way a 32-bit float running position counts them (w = 5 gives 5,
// w = 5.3 gives 6, from = to gives none).
// Exponent of the lowest set bit of a finite value, at most 0 (integers give 0): 2.5 gives -1.
inline int lowest_bit_exponent(float value) {
  int exponent = 0;
  for (double v = value; v != std::trunc(v); v *= 2) --exponent;
  return exponent;
}

inline int64_t walk_visits(float from, float to) {
  // When every position the walk passes is a float exactly (all are multiples of the finest bit
  // of from and to, and stay below 2^24 of those), the count is the distance rounded up; a
  // selection across a whole store is counted without stepping through it.
  if (std::isfinite(from) && std::isfinite(to)) {
    const int finest = std::min(lowest_bit_exponent(from), lowest_bit_exponent(to));
    const double exact_below = std::ldexp(1.0, 24 + finest);
    if (std::fabs(from) + 1 < exact_below && std::fabs(to) + 1 < exact_below) {
      const double distance = static_cast<double>(to) - static_cast<double>(from);
      return static_cast<int64_t>(std::ceil(std::fabs(distance)));
    }
  }
  const float step = from < to ? 1.0f : -1.0f;
  int64_t visits = 0;
  for (float p = from; from < to ? p < to : p > to; ++visits) {
    const float next = p + step;
    if (next == p) break;  // beyond 2^24 a step no longer moves; cannot happen within a store
    p = next;
  }
  return visits;
}

// The recording index a float position addresses.
inline int64_t index_of(float position) { return numbers::round_half_even(position); }

// Highest index a walk may read: the newest recorded sample, kept within the arrays.
inline int64_t last_recorded(const RecordingStore& store) {
  const int64_t newest = index_of(store.rec_next) - 1;
  return std::min<int64_t>(newest, static_cast<int64_t>(store.rec_cur1.size()) - 1);
}

// The indices a walk of `visits` steps from index `start` covers (downwards when `downwards`),
// as an ascending run within 1 .. last: a walk never reads outside the recording.
inline IndexRun clip_walk(int64_t start, int64_t visits, bool downwards, int64_t last) {
  const int64_t low = downwards ? start - visits + 1 : start;
  const int64_t high = downwards ? start : start + visits - 1;
  const int64_t first = std::max<int64_t>(low, 1);
  const int64_t end = std::min<int64_t>(high, last);
  return end < first ? IndexRun{first, 0} : IndexRun{first, end - first + 1};
}

}  // namespace zetra::analysis
