#include "recorder/state/recording_store.h"

#include "recorder/numbers/number_format.h"

namespace zetra {

void RecordingStore::allocate(float size) { swap_arrays(fresh_arrays(size)); }

bool RecordingStore::append(float c1, float c2, float t1, float t2) {
  if (!(rec_next < rec_capacity)) return false;
  const auto i = static_cast<size_t>(numbers::round_half_even(rec_next));
  rec_cur1[i] = c1;
  rec_cur2[i] = c2;
  rec_temp1[i] = t1;
  rec_temp2[i] = t2;
  rec_next = rec_next + 1.0f;
  return true;
}

size_t RecordingStore::recorded_count() const {
  const int64_t last = numbers::round_half_even(rec_next) - 1;
  return last > 0 ? static_cast<size_t>(last) : 0;
}

}  // namespace zetra
