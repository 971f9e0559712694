// A drawing surface that records what is drawn on it, for tests of the drawing algorithms.
#pragma once

#include <string>
#include <vector>

#include "platform/surface.h"

namespace zetra::testing {

class FakeSurface : public platform::Surface {
 public:
  struct Line {
    float x1, y1, x2, y2;
    platform::Colour colour;
    int width;
    platform::LineStyle style;
    platform::DrawMode mode;
  };
  struct Point {
    float x, y;
    platform::Colour colour;
    int width;
  };
  struct Text {
    float x, y;
    std::string text;
    platform::Colour colour;
  };
  struct Rect {
    float x1, y1, x2, y2;
    platform::Colour colour;
  };
  struct Polyline {
    float first_x;
    std::vector<float> ys;
    platform::Colour colour;
    int width;
  };

  explicit FakeSurface(platform::TwipsRect placement = {0, 2160, 8000, 4000})
      : placement(placement) {}

  void forget() {
    lines.clear();
    points.clear();
    texts.clear();
    polylines.clear();
    rects.clear();
    clears = 0;
  }
  // The points drawn with the given pen width.
  int points_of_width(int width) const {
    int n = 0;
    for (const Point& p : points) n += p.width == width ? 1 : 0;
    return n;
  }

  void set_scale(float t, float h, float w) override { top = t, height = h, width = w; }
  float scale_top() const override { return top; }
  float scale_height() const override { return height; }
  float scale_width() const override { return width; }
  void clear() override {
    ++clears;
    lines.clear();
    points.clear();
    texts.clear();
    polylines.clear();
    rects.clear();
  }
  void line(float x1, float y1, float x2, float y2) override { line(x1, y1, x2, y2, fore); }
  void line(float x1, float y1, float x2, float y2, platform::Colour c) override {
    lines.push_back({x1, y1, x2, y2, c, pen, style, mode});
  }
  void point(float x, float y) override { points.push_back({x, y, fore, pen}); }
  void fill_rect(float x1, float y1, float x2, float y2, platform::Colour c) override {
    rects.push_back({x1, y1, x2, y2, c});
  }
  void polyline(float first_x, const float* ys, int count) override {
    polyline(first_x, ys, count, fore);
  }
  void polyline(float first_x, const float* ys, int count, platform::Colour c) override {
    polylines.push_back({first_x, std::vector<float>(ys, ys + count), c, pen});
  }
  int pen_width() const override { return pen; }
  void set_pen_width(int w) override { pen = w; }
  platform::Colour foreground() const override { return fore; }
  void set_foreground(platform::Colour c) override { fore = c; }
  platform::Colour background() const override { return back; }
  void set_background(platform::Colour c) override { back = c; }
  platform::LineStyle line_style() const override { return style; }
  void set_line_style(platform::LineStyle s) override { style = s; }
  platform::DrawMode draw_mode() const override { return mode; }
  void set_draw_mode(platform::DrawMode m) override { mode = m; }
  void set_text_position(float x, float y) override { text_x = x, text_y = y; }
  void print_text(const std::string& text) override {
    texts.push_back({text_x, text_y, text, fore});
  }
  platform::TwipsRect placement_twips() const override { return placement; }
  platform::Bitmap bitmap() const override { return {}; }

  platform::TwipsRect placement;
  float top = 1, height = -1, width = 1;
  int pen = 1;
  platform::Colour fore = 0, back = 12648447;
  platform::LineStyle style = platform::LineStyle::Solid;
  platform::DrawMode mode = platform::DrawMode::Copy;
  float text_x = 0, text_y = 0;
  int clears = 0;
  std::vector<Line> lines;
  std::vector<Point> points;
  std::vector<Text> texts;
  std::vector<Polyline> polylines;
  std::vector<Rect> rects;
};

}  // namespace zetra::testing
