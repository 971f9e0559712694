// The recording: four traces of 32-bit floats with the index of the next free sample.
// Samples are stored at 1 .. rec_next - 1; index 0 is never part of the recording.
#pragma once

#include <cstddef>

#include "recorder/state/float_array.h"
#include "recorder/state/held_stretches.h"
#include "recorder/state/store_change.h"

namespace zetra {

inline constexpr float kDefaultCapacity = 100000.0f;
inline constexpr float kLargestCapacity = 5000000.0f;

struct RecordingStore {
  FloatArray rec_cur1;   // CH1 current, pA (zeroed, filtered; a marker is a 10000 pA dip)
  FloatArray rec_cur2;   // CH2 current, pA
  FloatArray rec_temp1;  // CH1 probe temperature, deg C
  FloatArray rec_temp2;  // CH2 probe temperature, deg C
  float rec_capacity = 0.0f;  // samples per trace; the arrays hold rec_capacity + 1 elements
  float rec_next = 1.0f;      // where the next acquired sample goes; 1 when empty
  // The samples stored while the unit did not answer; they go with the samples they mark.
  HeldStretches held;

  // Four new zero-filled arrays of size + 1 elements; rec_next is left alone.
  void allocate(float size);
  // Stores one sample at rec_next while rec_next < rec_capacity; false when the store is full.
  bool append(float c1, float c2, float t1, float t2);
  // Empties the recording: rec_next = 1 (the data stay until overwritten), no sample held.
  void clear() {
    rec_next = 1.0f;
    held.clear();
  }

  // Number of whole recorded samples, for loops over 1 .. recorded_count().
  size_t recorded_count() const;

  // The primitive changes of the arrays; each returns the change that undoes it. Indices are
  // those of the arrays; the run and the recording end must lie inside them.
  // Takes samples first .. first + count - 1 out of the samples before `end`; later ones move down.
  StoreChange remove_range(size_t first, size_t count, size_t end);
  // Puts `run` in at `first` of the samples before `end`; those from `first` on move up.
  StoreChange insert_range(size_t first, TraceRun run, size_t end);
  // Puts other arrays in place of the store's (moved, not copied), capacity included; the marks
  // of held samples go with the old arrays (whoever keeps those keeps the marks).
  StoreChange swap_arrays(TraceArrays arrays);
  // Makes a change returned by one of the above (or by apply) and returns its undoing.
  StoreChange apply(StoreChange change);
  // Fresh zero-filled arrays of size + 1 elements, what an emptying or a new memory size swaps in.
  static TraceArrays fresh_arrays(float size);
};

}  // namespace zetra
