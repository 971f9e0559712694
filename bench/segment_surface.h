// The redraw baseline: a surface that forwards everything to a Qt surface, except that a trace is
// drawn the plain competent way: one painter with the surface's own pen, one drawLine per pair of
// neighbouring samples.
#pragma once

#include <QPainter>

#include "platform/qt/qt_surface.h"

namespace zetra::bench {

class SegmentSurface : public platform::Surface {
 public:
  explicit SegmentSurface(platform::QtSurface& target) : t_(target) {}

  void polyline(float first_x, const float* ys, int count) override {
    polyline(first_x, ys, count, t_.foreground());
  }
  void polyline(float first_x, const float* ys, int count, platform::Colour colour) override {
    if (count < 2) return;
    QPainter painter(&t_.canvas());
    t_.begin(painter, colour, platform::LineStyle::Solid);
    int x = t_.pixel_x(first_x), y = t_.pixel_y(ys[0]);
    for (int k = 1; k < count; ++k) {
      const int next_x = t_.pixel_x(first_x + static_cast<float>(k));
      const int next_y = t_.pixel_y(ys[k]);
      painter.drawLine(x, y, next_x, next_y);
      x = next_x;
      y = next_y;
    }
  }

  void set_scale(float top, float height, float width) override { t_.set_scale(top, height, width); }
  float scale_top() const override { return t_.scale_top(); }
  float scale_height() const override { return t_.scale_height(); }
  float scale_width() const override { return t_.scale_width(); }
  void clear() override { t_.clear(); }
  void line(float x1, float y1, float x2, float y2) override { t_.line(x1, y1, x2, y2); }
  void line(float x1, float y1, float x2, float y2, platform::Colour c) override {
    t_.line(x1, y1, x2, y2, c);
  }
  void point(float x, float y) override { t_.point(x, y); }
  void fill_rect(float x1, float y1, float x2, float y2, platform::Colour c) override {
    t_.fill_rect(x1, y1, x2, y2, c);
  }
  int pen_width() const override { return t_.pen_width(); }
  void set_pen_width(int width) override { t_.set_pen_width(width); }
  platform::Colour foreground() const override { return t_.foreground(); }
  void set_foreground(platform::Colour c) override { t_.set_foreground(c); }
  platform::Colour background() const override { return t_.background(); }
  void set_background(platform::Colour c) override { t_.set_background(c); }
  platform::LineStyle line_style() const override { return t_.line_style(); }
  void set_line_style(platform::LineStyle s) override { t_.set_line_style(s); }
  platform::DrawMode draw_mode() const override { return t_.draw_mode(); }
  void set_draw_mode(platform::DrawMode m) override { t_.set_draw_mode(m); }
  void set_text_position(float x, float y) override { t_.set_text_position(x, y); }
  void print_text(const std::string& text) override { t_.print_text(text); }
  platform::TwipsRect placement_twips() const override { return t_.placement_twips(); }
  platform::Bitmap bitmap() const override { return t_.bitmap(); }

 private:
  platform::QtSurface& t_;
};

}  // namespace zetra::bench
