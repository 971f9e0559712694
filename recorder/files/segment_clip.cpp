#include "recorder/files/segment_clip.h"

namespace zetra::files {

// Liang-Barsky: the part of the segment's parameter range [0, 1] that every edge keeps.
bool clip_segment(Segment& s, double left, double right, double bottom, double top) {
  const double dx = s.x2 - s.x1, dy = s.y2 - s.y1;
  double enter = 0, leave = 1;
  // Each edge as p x t <= q: the segment leaves the inside where the inequality turns false.
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {s.x1 - left, right - s.x1, s.y1 - bottom, top - s.y1};
  for (int k = 0; k < 4; ++k) {
    if (p[k] == 0) {
      if (q[k] < 0) return false;  // parallel to this edge and outside it
      continue;
    }
    const double t = q[k] / p[k];
    if (p[k] < 0) {
      if (t > enter) enter = t;
    } else if (t < leave) {
      leave = t;
    }
    if (enter > leave) return false;
  }
  const Segment original = s;
  s = {original.x1 + enter * dx, original.y1 + enter * dy, original.x1 + leave * dx,
       original.y1 + leave * dy};
  return true;
}

}  // namespace zetra::files
