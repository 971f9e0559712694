// A surface that keeps its settings but paints nothing: the recorder's chart when no window shows
// it (tools, and scenario tests that look only at the state).
#pragma once

#include "platform/surface.h"

namespace zetra::chart {

class BlankSurface : public platform::Surface {
 public:
  explicit BlankSurface(platform::TwipsRect placement = {0, 2160, 7000, 3000})
      : placement_(placement) {}

  void set_scale(float top, float height, float width) override {
    top_ = top;
    height_ = height;
    width_ = width;
  }
  float scale_top() const override { return top_; }
  float scale_height() const override { return height_; }
  float scale_width() const override { return width_; }
  void clear() override {}
  void line(float, float, float, float) override {}
  void line(float, float, float, float, platform::Colour) override {}
  void point(float, float) override {}
  void fill_rect(float, float, float, float, platform::Colour) override {}
  void polyline(float, const float*, int) override {}
  void polyline(float, const float*, int, platform::Colour) override {}
  int pen_width() const override { return pen_width_; }
  void set_pen_width(int width) override { pen_width_ = width; }
  platform::Colour foreground() const override { return foreground_; }
  void set_foreground(platform::Colour colour) override { foreground_ = colour; }
  platform::Colour background() const override { return background_; }
  void set_background(platform::Colour colour) override { background_ = colour; }
  platform::LineStyle line_style() const override { return style_; }
  void set_line_style(platform::LineStyle style) override { style_ = style; }
  platform::DrawMode draw_mode() const override { return mode_; }
  void set_draw_mode(platform::DrawMode mode) override { mode_ = mode; }
  void set_text_position(float, float) override {}
  void print_text(const std::string&) override {}
  platform::TwipsRect placement_twips() const override { return placement_; }
  platform::Bitmap bitmap() const override { return {}; }

 private:
  platform::TwipsRect placement_;
  float top_ = 1, height_ = -1, width_ = 1;
  int pen_width_ = 1;
  platform::Colour foreground_ = 0;
  platform::Colour background_ = 12648447;  // the chart's design back colour, light yellow
  platform::LineStyle style_ = platform::LineStyle::Solid;
  platform::DrawMode mode_ = platform::DrawMode::Copy;
};

}  // namespace zetra::chart
