// The chart subsystem put together: scales and scrolling, rendering, readouts, appearance and the
// window layout, bound to the window model and installed as the shared chart procedures.
#pragma once

#include <functional>

#include "platform/surface.h"
#include "recorder/chart/appearance.h"
#include "recorder/chart/chart_navigation.h"
#include "recorder/chart/chart_renderer.h"
#include "recorder/chart/chart_scales.h"
#include "recorder/chart/window_layout.h"
#include "recorder/window/recorder_context.h"

namespace zetra::chart {

// The window's outer position and size in twips and its state, as a resize reports them.
struct WindowGeometry {
  float left = 0, top = 0, width = 0, height = 0;
  bool minimized = false;
  bool maximized = false;
  // How much wider the frame is than its client area: the controls are laid out in the client's
  // width (frames with thick borders would otherwise push the right-hand scroll bars out of sight),
  // while the outer width is what the settings keep.
  float border_width = 0;
  // How much of the outer height the window's own rows take beyond what the layout keeps free
  // for menu and status bar (the status field's row above the status bar on Windows): the
  // controls are laid out in the rest, while the outer height is what the settings keep.
  float extra_height = 0;
};

class Chart {
 public:
  Chart(RecorderContext& context, platform::Surface& chart, platform::Surface& layer);

  // Registers the handlers of the scale, unit, appearance and scrollbar controls and the work
  // of Timer2 and Timer3; installs r_line, r_linef, d_grad, clsp1, resetp, nhs1_set, nhs1_setb
  // and form_resize.
  void bind();

  // The window was resized: lays it out (minimum size enforced), remembers the geometry when it
  // is neither minimised nor maximised, and redraws. Nothing happens while minimised.
  void resize(const WindowGeometry& geometry);
  const WindowLayout& layout() const { return layout_; }
  // The view places its widgets and sizes its surfaces here, before the redraw of a resize.
  std::function<void(const WindowLayout&)> apply_layout;

  void timer3();  // readouts, then the deferred scroll requests

  // After start-up and the settings file: the chart takes the colours, the line width and the
  // scales of the state, the status line echoes the scales, and the empty chart is drawn.
  void show_started();

  ChartScales& scales() { return scales_; }
  ChartRenderer& renderer() { return renderer_; }
  Appearance& appearance() { return appearance_; }

 private:
  RecorderContext& context_;
  ChartScales scales_;
  ChartNavigation navigation_;
  ChartRenderer renderer_;
  Appearance appearance_;
  WindowGeometry geometry_;
  WindowLayout layout_;
};

}  // namespace zetra::chart
