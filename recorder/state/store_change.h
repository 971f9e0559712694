// One change of the recording arrays, held so that it can be made again: applying it to the store
// returns the change that takes it back. Only the arrays are touched; the counters (rec_next and
// the view) are the caller's, since a cut or delete leaves fractions the store knows nothing of.
#pragma once

#include <cstddef>
#include <vector>

#include "recorder/state/float_array.h"

namespace zetra {

// A run of samples of the four traces, in the store's order.
struct TraceRun {
  std::vector<float> cur1, cur2, temp1, temp2;
  size_t size() const { return cur1.size(); }
  size_t bytes() const { return 4 * sizeof(float) * cur1.size(); }
};

// The four arrays of a store with their capacity, handed over whole.
struct TraceArrays {
  FloatArray cur1, cur2, temp1, temp2;
  float capacity = 0;
};

struct StoreChange {
  enum class Kind { None, Insert, Remove, Swap };
  Kind kind = Kind::None;
  // Insert and Remove: the run starts at index `first`, holds `count` samples, and the samples
  // of the recording end before index `end` (before the change).
  size_t first = 0, count = 0, end = 0;
  TraceRun samples;    // Insert: the samples to put in at `first`
  TraceRun displaced;  // Remove: what lay at end - count .. end - 1 before the samples moved up
  TraceArrays arrays;  // Swap: the arrays to put in place of the store's
  // Memory the change keeps; `live_end` bounds the samples of swapped arrays that count.
  size_t bytes(size_t live_end) const;
};

}  // namespace zetra
