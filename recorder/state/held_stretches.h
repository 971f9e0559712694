// The stretches of a recording that were not measured: while the unit did not answer (or the meter
// stayed busy), each tick stored the last values again to keep one sample per tick. The marks
// follow the samples through every edit, so that no held copy can pass for a measurement.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zetra {

struct HeldStretch {
  size_t first = 0, last = 0;      // store indices of the first and last held sample
  int64_t from_s = -1, to_s = -1;  // seconds of the day they were stored; -1 when not known
  size_t count() const { return last - first + 1; }
  bool operator==(const HeldStretch&) const = default;
};

class HeldStretches {
 public:
  const std::vector<HeldStretch>& list() const { return list_; }
  bool empty() const { return list_.empty(); }
  void clear() { list_.clear(); }
  bool operator==(const HeldStretches&) const = default;

  // Sample `index`, stored at `time_s`, was held: it lengthens the newest stretch when it is that
  // stretch's next sample (or already its last), and starts a stretch of its own otherwise.
  void hold(size_t index, int64_t time_s);
  // A stretch after every one held so far (a recording's list read back); false, and nothing
  // added, when it is empty, overlaps or comes before the newest.
  bool append(const HeldStretch& stretch);

  // Samples first .. first + count - 1 were taken out and the later ones moved down by count.
  void remove(size_t first, size_t count);
  // `count` samples were put in at `first` and the samples from `first` on moved up by count;
  // `inserted` marks the held ones among the new samples, indices counted from 0 at `first`.
  void insert(size_t first, size_t count, const HeldStretches& inserted);
  // The marks of samples first .. first + count - 1, indices counted from 0 at `first`.
  HeldStretches slice(size_t first, size_t count) const;

  // How many of the samples first .. last are held.
  size_t count_in(size_t first, size_t last) const;
  bool holds(size_t index) const;
  size_t bytes() const { return list_.size() * sizeof(HeldStretch); }

 private:
  std::vector<HeldStretch> list_;  // in sample order, no two sharing a sample
};

}  // namespace zetra
