// How the drawing surfaces turn user coordinates into pixels, and a trace through many samples
// into the few pixel lines that paint it. Shared by every surface so that the chart looks the same
// pixel for pixel on each system.
#pragma once

#include <vector>

namespace zetra::platform {

// User coordinates to pixels: the edges of the scale fall on the first and last pixel.
struct PixelMapping {
  double x_factor = 0, y_factor = 0;  // pixels per user unit across and down
  double top = 0;                     // the user y of the top row

  // Rounded half to even; a NaN is pixel 0, and far values are held far enough outside any
  // picture to keep a line's direction, near enough for the rasterisers (GDI's 28-bit coordinates).
  static int to_pixel(double value);
  int x(float user_x) const { return to_pixel(static_cast<double>(user_x) * x_factor); }
  int y(float user_y) const { return to_pixel((static_cast<double>(user_y) - top) * y_factor); }
};

struct PixelLine {
  int x1, y1, x2, y2;
};

// The trace through (first_x + k, ys[k]) for k = 0 .. count - 1 (count >= 2) as pixel lines: per
// pixel column the vertical extent of its samples, and the line from the previous column's last
// sample to this column's first. That is exactly the union of one line per pair of neighbours,
// because lines between samples of one column are vertical runs in that column. A wide pen paints
// even a run of no length (two samples on one pixel) as a square, so with `wide_pen` that one is
// kept. `lines` is filled anew (kept by the caller so that drawing allocates nothing) and is never
// left empty.
void trace_lines(const PixelMapping& map, float first_x, const float* ys, int count, bool wide_pen,
                 std::vector<PixelLine>& lines);

// The smallest box holding every end of `lines` (not empty).
PixelLine bounds_of(const std::vector<PixelLine>& lines);

}  // namespace zetra::platform
