// Clipping of a straight segment to a rectangle, so that printed traces stay inside the chart's
// frame as they do on the screen.
#pragma once

namespace zetra::files {

struct Segment {
  double x1, y1, x2, y2;
};

// Cuts `s` to the rectangle [left, right] x [bottom, top]; false when no part of it lies inside.
bool clip_segment(Segment& s, double left, double right, double bottom, double top);

}  // namespace zetra::files
