#include "recorder/chart/window_layout.h"

#include <algorithm>

namespace zetra::chart {
namespace {

constexpr float kChartTop = 2160;
constexpr float kBarThickness = 225;  // vertical bars sit 230 twips apart
constexpr float kCaptionWidth = 440;  // "CH1" in small bold text and a margin
constexpr float kCaptionHeight = 300;  // a line of small text
constexpr float kButtonRowHeight = 450;
constexpr float kPanelHeight = 840;
constexpr float kNotesHeight = 1500;  // a paragraph: five lines and more

// A caption centred over a bar in one of two rows above the bars (the bars stand closer than a
// caption is wide, so neighbours take turns), kept inside the window's right edge.
platform::TwipsRect caption_over(const platform::TwipsRect& bar, int row, float width) {
  const float left = std::min(bar.left + (bar.width - kCaptionWidth) / 2, width - kCaptionWidth);
  return {left, kChartTop + row * kCaptionHeight, kCaptionWidth, kCaptionHeight};
}

}  // namespace

WindowLayout lay_out_window(float width, float height, bool notes_shown) {
  WindowLayout l;
  const float w = l.width = std::max(width, kMinimumWidthTwips);
  const float h = l.height = std::max(height, kMinimumHeightTwips);
  // What the notes pane takes from the chart's height.
  const float notes = notes_shown ? kNotesHeight + 80 : 0;

  l.buttons = {60, 0, w - 140, kButtonRowHeight};
  l.sp1 = {60, kButtonRowHeight, w - 140, kPanelHeight};
  l.sp2 = {60, kButtonRowHeight + kPanelHeight, w - 140, kPanelHeight};
  l.chart = {0, kChartTop, w - 2000, h - 4000 - notes};
  l.nhs1 = {0, h - 1450 - notes, w - 1200, kBarThickness + 30};
  // The bars under their captions, all ending 300 twips below the chart's bottom: the current
  // traces' captions in the upper row, the temperatures' in the lower.
  const float bar_top = kChartTop + 2 * kCaptionHeight;
  const float bar_height = h - 3700 - notes - 2 * kCaptionHeight;
  l.nvs1 = {w - 1028, bar_top, kBarThickness, bar_height};
  l.nvs2 = {w - 800, bar_top, kBarThickness, bar_height};
  l.nvs12 = {w - 560, bar_top, kBarThickness, bar_height};
  l.nvs22 = {w - 330, bar_top, kBarThickness, bar_height};
  l.lnvs1 = caption_over(l.nvs1, 0, w);
  l.lnvs2 = caption_over(l.nvs2, 1, w);
  l.lnvs12 = caption_over(l.nvs12, 0, w);
  l.lnvs22 = caption_over(l.nvs22, 1, w);
  l.notes_visible = notes_shown;
  l.nt1 = {0, l.nhs1.top + 280, w - 160, kNotesHeight};
  return l;
}

}  // namespace zetra::chart
