#include "platform/pixel_trace.h"

#include <algorithm>
#include <cmath>

#include "recorder/numbers/number_format.h"

namespace zetra::platform {
namespace {

constexpr double kFarPixel = 1.0e6;

// Walks the samples column by column and collects the lines.
class Tracer {
 public:
  Tracer(const PixelMapping& map, float first_x, bool wide_pen, std::vector<PixelLine>& lines)
      : map_(map), first_x_(first_x), wide_pen_(wide_pen), lines_(lines) {}

  void run(const float* ys, int count) {
    lines_.clear();
    int column = map_.x(first_x_);
    previous_column_ = column;
    previous_last_ = map_.y(ys[0]);
    for (int k = 0; k < count;) {
      const int end = column_end(k, count, column);
      flush_run(column, ys + k, end - k);
      if (end < count) column = map_.x(first_x_ + static_cast<float>(end));
      k = end;
    }
    if (lines_.empty()) lines_.push_back({column, previous_last_, column, previous_last_});
  }

 private:
  // The first sample from `from` on that lies beyond `column`. Columns grow with x, so the
  // boundary is estimated from the inverse mapping and then settled by the mapping itself: the
  // samples of one column are found with two or three mappings instead of one per sample.
  int column_end(int from, int count, int column) const {
    int k = from + 1;
    if (map_.x_factor > 0 && std::isfinite(map_.x_factor)) {
      const double estimate = std::ceil((column + 0.5) / map_.x_factor - first_x_);
      if (estimate > k) k = static_cast<int>(std::min(estimate, static_cast<double>(count)));
    }
    while (k > from + 1 && map_.x(first_x_ + static_cast<float>(k - 1)) != column) --k;
    while (k < count && map_.x(first_x_ + static_cast<float>(k)) == column) ++k;
    return k;
  }

  // The `n` samples of one column. Rows grow (or fall) with y, so the column's extent is the rows
  // of its smallest and largest y, found in one pass; a NaN (row 0) makes every sample count alone.
  void flush_run(int column, const float* ys, int n) {
    float smallest = ys[0], largest = ys[0];
    bool nan = false;
    for (int j = 1; j < n; ++j) {
      const float y = ys[j];
      nan |= y != y;
      smallest = y < smallest ? y : smallest;
      largest = y > largest ? y : largest;
    }
    int low = 0, high = 0;
    if (nan || ys[0] != ys[0] || !std::isfinite(map_.y_factor)) {
      low = high = map_.y(ys[0]);
      for (int j = 1; j < n; ++j) {
        low = std::min(low, map_.y(ys[j]));
        high = std::max(high, map_.y(ys[j]));
      }
    } else {
      low = std::min(map_.y(smallest), map_.y(largest));
      high = std::max(map_.y(smallest), map_.y(largest));
    }
    flush_column(column, map_.y(ys[0]), low, high, map_.y(ys[n - 1]), n > 1);
  }

  void flush_column(int column, int first, int low, int high, int last, bool several) {
    if (column != previous_column_) lines_.push_back({previous_column_, previous_last_, column, first});
    if (low != high || (several && wide_pen_)) lines_.push_back({column, low, column, high});
    previous_column_ = column;
    previous_last_ = last;
  }

  const PixelMapping& map_;
  const float first_x_;
  const bool wide_pen_;
  std::vector<PixelLine>& lines_;
  int previous_column_ = 0, previous_last_ = 0;
};

}  // namespace

int PixelMapping::to_pixel(double value) {
  if (!(value == value)) return 0;  // NaN
  return static_cast<int>(numbers::round_half_even(std::clamp(value, -kFarPixel, kFarPixel)));
}

void trace_lines(const PixelMapping& map, float first_x, const float* ys, int count, bool wide_pen,
                 std::vector<PixelLine>& lines) {
  Tracer(map, first_x, wide_pen, lines).run(ys, count);
}

PixelLine bounds_of(const std::vector<PixelLine>& lines) {
  PixelLine box{lines[0].x1, lines[0].y1, lines[0].x1, lines[0].y1};
  for (const PixelLine& l : lines) {
    box.x1 = std::min({box.x1, l.x1, l.x2});
    box.x2 = std::max({box.x2, l.x1, l.x2});
    box.y1 = std::min({box.y1, l.y1, l.y2});
    box.y2 = std::max({box.y2, l.y1, l.y2});
  }
  return box;
}

}  // namespace zetra::platform
