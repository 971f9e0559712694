#include "recorder/chart/window_layout.h"

#include <algorithm>

namespace zetra::chart {
namespace {

constexpr float kChartTop = 2160;
constexpr float kBarThickness = 225;  // vertical bars sit 230 twips apart
constexpr float kButtonRowHeight = 450;
constexpr float kPanelHeight = 840;
constexpr float kNotesHeight = 660;

}  // namespace

WindowLayout lay_out_window(float width, float height, bool notes_shown) {
  WindowLayout l;
  const float w = l.width = std::max(width, kMinimumWidthTwips);
  const float h = l.height = std::max(height, kMinimumHeightTwips);
  const float notes = notes_shown ? 740 : 0;  // what the notes pane takes from the chart's height

  l.buttons = {60, 0, w - 140, kButtonRowHeight};
  l.sp1 = {60, kButtonRowHeight, w - 140, kPanelHeight};
  l.sp2 = {60, kButtonRowHeight + kPanelHeight, w - 140, kPanelHeight};
  l.chart = {0, kChartTop, w - 2000, h - 4000 - notes};
  l.nhs1 = {0, h - 1450 - notes, w - 1200, kBarThickness + 30};
  const float bar_height = h - 3700 - notes;
  l.nvs1 = {w - 1028, kChartTop, kBarThickness, bar_height};
  l.nvs2 = {w - 800, kChartTop, kBarThickness, bar_height};
  l.nvs12 = {w - 560, kChartTop, kBarThickness, bar_height};
  l.nvs22 = {w - 330, kChartTop, kBarThickness, bar_height};
  l.notes_visible = notes_shown;
  l.nt1 = {0, l.nhs1.top + 280, w - 160, kNotesHeight};
  return l;
}

}  // namespace zetra::chart
