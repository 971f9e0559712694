// Where the chart, its scrollbars, the readout panels and the notes sit in the window, in twips,
// for a window of a given outer size; recomputed on every resize and by Notes on/off.
#pragma once

#include "platform/surface.h"

namespace zetra::chart {

inline constexpr float kMinimumWidthTwips = 9000;
inline constexpr float kMinimumHeightTwips = 7000;

struct WindowLayout {
  float width = 0, height = 0;  // the outer size laid out, the minimum enforced
  platform::TwipsRect chart;    // p1
  platform::TwipsRect nhs1, nvs1, nvs2, nvs12, nvs22;
  // The captions above the vertical bars saying which trace each moves.
  platform::TwipsRect lnvs1, lnvs2, lnvs12, lnvs22;
  platform::TwipsRect sp1, sp2;  // readout panels
  platform::TwipsRect buttons;   // the row of file, edit, link and recording buttons
  bool notes_visible = false;
  platform::TwipsRect nt1;
};

// The layout of a window of outer size width x height (twips), with the notes pane or without.
WindowLayout lay_out_window(float width, float height, bool notes_shown);

}  // namespace zetra::chart
