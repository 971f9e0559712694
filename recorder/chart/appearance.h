// The View menu's appearance commands: colours (with the colour dialog), grid, temperature lines
// and line width. Each ends with a full redraw.
#pragma once

#include "platform/surface.h"
#include "recorder/window/recorder_context.h"

namespace zetra::chart {

class Appearance {
 public:
  Appearance(RecorderContext& context, platform::Surface& chart) : context_(context), chart_(chart) {}

  void bind();
  void system_default_colours();

 private:
  // Asks for a colour starting from the chart's back colour; false when the dialog was cancelled.
  bool ask_colour(float& field);
  void bind_colour(const char* item, float RecorderState::*field, void (Appearance::*then)());
  void redraw() { Procedures::call(context_.procedures.r_line); }
  void apply_back() { chart_.set_background(colour_of_field(context_.state.color_back)); }
  void apply_fore() { chart_.set_foreground(colour_of_field(context_.state.color_cur1)); }
  void nothing() {}
  static platform::Colour colour_of_field(float packed);

  RecorderContext& context_;
  platform::Surface& chart_;
};

}  // namespace zetra::chart
