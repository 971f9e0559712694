// The mouse on the chart: hover readout, press-drag-release selection marked by two dotted lines
// drawn in invert mode, the measurement of the Calculate menu after every drag move, and the
// menu's mode items and integral base-line boxes.
#pragma once

#include "platform/surface.h"
#include "recorder/analysis/measurements.h"
#include "recorder/window/recorder_context.h"

namespace zetra::analysis {

class ChartSelection {
 public:
  // `chart` is the chart's surface; without one the selection works but draws no lines.
  ChartSelection(RecorderContext& context, platform::Surface* chart)
      : context_(context), chart_(chart) {}

  // Installs the chart's mouse handlers and binds pvalue .. pinter, pintset and pintset2.
  void bind();

  // Chart events with the pointer's chart x; each does nothing unless mouse work is accepted
  // (no recording runs, or exam mode is on).
  void press(float x);
  void move(float x);
  void release();
  // The pointer left the chart: a later redraw has no sample under it to show.
  void leave();
  // After a redraw (a view move, an edit, a scale): the selection and its measurement are gone, so
  // the status line shows the value under the pointer where it now is, or the scales alone.
  void refresh();

  // The checked mode of the Calculate menu, tested in menu order.
  Measurement mode() const;

 private:
  bool accepted() const;
  void invert_line(float x);
  void drag(float x);
  void show_readout();
  void ask_base_line(float& base_line);

  RecorderContext& context_;
  platform::Surface* chart_;
};

}  // namespace zetra::analysis
