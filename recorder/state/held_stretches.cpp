#include "recorder/state/held_stretches.h"

#include <algorithm>
#include <cmath>

namespace zetra {
namespace {

constexpr int64_t kDay = 86400;

// The time of sample i of the stretch, between its first and last time in proportion; a stretch
// that ran past midnight counts on into the next day.
int64_t time_at(const HeldStretch& s, size_t i) {
  if (s.from_s < 0 || s.to_s < 0) return -1;
  if (s.last == s.first) return s.from_s;
  int64_t span = s.to_s - s.from_s;
  if (span < 0) span += kDay;
  const double share = static_cast<double>(i - s.first) / static_cast<double>(s.last - s.first);
  return (s.from_s + std::llround(static_cast<double>(span) * share)) % kDay;
}

// Samples a .. b of the stretch as a stretch of their own, moved by `shift` (added to indices).
HeldStretch piece(const HeldStretch& s, size_t a, size_t b, int64_t shift) {
  HeldStretch p;
  p.first = static_cast<size_t>(static_cast<int64_t>(a) + shift);
  p.last = static_cast<size_t>(static_cast<int64_t>(b) + shift);
  p.from_s = time_at(s, a);
  p.to_s = time_at(s, b);
  return p;
}

}  // namespace

void HeldStretches::hold(size_t index, int64_t time_s) {
  if (!list_.empty() && list_.back().last + 1 >= index && list_.back().first <= index) {
    HeldStretch& newest = list_.back();
    if (index > newest.last) {
      newest.last = index;
      newest.to_s = time_s;
    }
    return;
  }
  list_.push_back({index, index, time_s, time_s});
}

bool HeldStretches::append(const HeldStretch& stretch) {
  if (stretch.last < stretch.first) return false;
  if (!list_.empty() && stretch.first <= list_.back().last) return false;
  list_.push_back(stretch);
  return true;
}

// A stretch the removal cuts through keeps what lies on either side, joined again.
void HeldStretches::remove(size_t first, size_t count) {
  if (count == 0) return;
  const size_t end = first + count;
  const auto shift = -static_cast<int64_t>(count);
  std::vector<HeldStretch> kept;
  for (const HeldStretch& s : list_) {
    if (s.last < first) {
      kept.push_back(s);
    } else if (s.first >= end) {
      kept.push_back(piece(s, s.first, s.last, shift));
    } else if (s.first < first && s.last >= end) {
      HeldStretch joined = piece(s, s.first, s.last, 0);
      joined.last = s.last - count;
      kept.push_back(joined);
    } else if (s.first < first) {
      kept.push_back(piece(s, s.first, first - 1, 0));
    } else if (s.last >= end) {
      kept.push_back(piece(s, end, s.last, shift));
    }
  }
  list_ = std::move(kept);
}

void HeldStretches::insert(size_t first, size_t count, const HeldStretches& inserted) {
  if (count == 0) return;
  const auto shift = static_cast<int64_t>(count);
  std::vector<HeldStretch> moved;
  for (const HeldStretch& s : list_) {
    if (s.last < first) {
      moved.push_back(s);
    } else if (s.first >= first) {
      moved.push_back(piece(s, s.first, s.last, shift));
    } else {  // the new samples go into the middle of this stretch: it is held on either side
      moved.push_back(piece(s, s.first, first - 1, 0));
      moved.push_back(piece(s, first, s.last, shift));
    }
  }
  for (const HeldStretch& s : inserted.list_) {
    if (s.first >= count) continue;
    moved.push_back(piece(s, s.first, std::min(s.last, count - 1), static_cast<int64_t>(first)));
  }
  std::sort(moved.begin(), moved.end(),
            [](const HeldStretch& a, const HeldStretch& b) { return a.first < b.first; });
  list_ = std::move(moved);
}

HeldStretches HeldStretches::slice(size_t first, size_t count) const {
  HeldStretches part;
  if (count == 0) return part;
  const size_t last = first + count - 1;
  for (const HeldStretch& s : list_) {
    if (s.last < first || s.first > last) continue;
    part.list_.push_back(
        piece(s, std::max(s.first, first), std::min(s.last, last), -static_cast<int64_t>(first)));
  }
  return part;
}

size_t HeldStretches::count_in(size_t first, size_t last) const {
  size_t n = 0;
  for (const HeldStretch& s : list_) {
    const size_t a = std::max(s.first, first), b = std::min(s.last, last);
    if (a <= b) n += b - a + 1;
  }
  return n;
}

bool HeldStretches::holds(size_t index) const {
  const auto after = std::upper_bound(list_.begin(), list_.end(), index,
                                      [](size_t i, const HeldStretch& s) { return i < s.first; });
  return after != list_.begin() && std::prev(after)->last >= index;
}

}  // namespace zetra
