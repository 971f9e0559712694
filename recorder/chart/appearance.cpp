#include "recorder/chart/appearance.h"

#include <string>

#include "recorder/chart/chart_view_rules.h"

namespace zetra::chart {
namespace {

constexpr float kDefaultBack = 12648447;  // light yellow
constexpr float kDefaultGrid = 0;
constexpr float kDefaultCur1 = 16711680;  // blue
constexpr float kDefaultCur2 = 65280;     // green
constexpr float kDefaultTemp1 = 255;      // red
constexpr float kDefaultTemp2 = 16711935; // magenta

}  // namespace

platform::Colour Appearance::colour_of_field(float packed) { return colour_of(packed); }

void Appearance::bind() {
  WindowModel& window = context_.window;
  window.on("psdcolor", [this] { system_default_colours(); });
  bind_colour("pcolor", &RecorderState::color_back, &Appearance::apply_back);
  bind_colour("pgcolor", &RecorderState::color_grid, &Appearance::nothing);
  bind_colour("pcdcolor", &RecorderState::color_cur1, &Appearance::apply_fore);
  bind_colour("pcdcolor2", &RecorderState::color_cur2, &Appearance::nothing);
  bind_colour("ptlc", &RecorderState::color_temp1, &Appearance::nothing);
  bind_colour("ptlc2", &RecorderState::color_temp2, &Appearance::nothing);
  for (const char* item : {"pgon", "pgoff", "ptlon", "ptloff"}) {
    window.on(item, [this, item] {
      context_.window.check(item);
      redraw();
    });
  }
  for (int width = 1; width <= 3; ++width) {
    const std::string item = "pl" + std::to_string(width);
    window.on(item, [this, item, width] {
      context_.window.check(item);
      chart_.set_pen_width(width);
      redraw();
    });
  }
}

void Appearance::system_default_colours() {
  RecorderState& s = context_.state;
  s.color_back = kDefaultBack;
  s.color_grid = kDefaultGrid;
  s.color_cur1 = kDefaultCur1;
  s.color_cur2 = kDefaultCur2;
  s.color_temp1 = kDefaultTemp1;
  s.color_temp2 = kDefaultTemp2;
  chart_.set_background(colour_of(s.color_back));
  chart_.set_foreground(0);
  redraw();
}

bool Appearance::ask_colour(float& field) {
  platform::Colour chosen = 0;
  if (!context_.platform.dialogs.choose_colour(chart_.background(), chosen)) return false;
  field = static_cast<float>(chosen & 0xFFFFFFu);
  return true;
}

// A cancelled dialog changes nothing, not even the redraw.
void Appearance::bind_colour(const char* item, float RecorderState::*field,
                             void (Appearance::*then)()) {
  context_.window.on(item, [this, field, then] {
    if (!ask_colour(context_.state.*field)) return;
    (this->*then)();
    redraw();
  });
}

}  // namespace zetra::chart
