// Wheel and key navigation on the chart. Everything goes through the controls the menus and the
// scroll bar use: a scroll is a move of nhs1 served as Timer3 serves it, a zoom is the Time_DIV
// item next to the checked one, so status line, labels and bars stay consistent.
#pragma once

#include "recorder/chart/chart_scales.h"
#include "recorder/window/recorder_context.h"

namespace zetra::chart {

class ChartNavigation {
 public:
  ChartNavigation(RecorderContext& context, ChartScales& scales)
      : context_(context), scales_(scales) {}

  // Installs the window model's chart_wheel and chart_key handlers.
  void bind();

  // Wheel: the scroll bar's small step per notch, a page with Shift; with Ctrl, Time/DIV one
  // menu value per notch around the pointer.
  void wheel(const ChartWheel& wheel);
  // Left/Right: a small step; Page Up/Down: a page; Home/End: the first and the last page.
  void key(ChartKey key);

 private:
  // Moves nhs1 by `delta` positions, never past the last page of data, and serves the move.
  void scroll_by(int delta);
  void scroll_to(int position);
  // The bar position whose view ends with the newest sample.
  int last_page_position() const;
  void zoom(int notches, float pointer_x);

  RecorderContext& context_;
  ChartScales& scales_;
};

}  // namespace zetra::chart
