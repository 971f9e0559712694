// The drawing surface on a persistent QImage (RGB32): the chart p1 in user coordinates, or the
// window's own drawing layer in twips. A widget shows image(); invert mode flips pixels. The image
// has the screen's device pixel ratio, so lines, dots and text land on device pixels.
#pragma once

#include <QFont>
#include <QImage>
#include <QLine>
#include <QRect>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "platform/pixel_trace.h"
#include "platform/surface.h"

namespace zetra::platform {

class QtSurface : public Surface {
 public:
  explicit QtSurface(Colour background = 12648447);

  // A new picture of the given logical size, filled with the background colour; it holds
  // size x device_pixel_ratio device pixels.
  void resize(int width_px, int height_px, qreal device_pixel_ratio = 1.0);
  qreal device_pixel_ratio() const { return dpr_; }
  void set_placement(const TwipsRect& placement) { placement_ = placement; }
  void set_font(const QFont& font) { font_ = font; }
  const QImage& image() const { return image_; }
  // The picture for drawing on by hand with begin()'s pen (benchmarks and tests).
  QImage& canvas() { return image_; }

  void set_scale(float top, float height, float width) override;
  float scale_top() const override { return top_; }
  float scale_height() const override { return height_; }
  float scale_width() const override { return width_; }
  void clear() override;
  void line(float x1, float y1, float x2, float y2) override;
  void line(float x1, float y1, float x2, float y2, Colour colour) override;
  void point(float x, float y) override;
  void fill_rect(float x1, float y1, float x2, float y2, Colour colour) override;
  void polyline(float first_x, const float* ys, int count) override;
  void polyline(float first_x, const float* ys, int count, Colour colour) override;
  int pen_width() const override { return pen_width_; }
  void set_pen_width(int width) override { pen_width_ = width < 1 ? 1 : width; }
  Colour foreground() const override { return foreground_; }
  void set_foreground(Colour colour) override { foreground_ = colour & 0xFFFFFFu; }
  Colour background() const override { return background_; }
  void set_background(Colour colour) override { background_ = colour & 0xFFFFFFu; }
  LineStyle line_style() const override { return style_; }
  void set_line_style(LineStyle style) override { style_ = style; }
  DrawMode draw_mode() const override { return mode_; }
  void set_draw_mode(DrawMode mode) override { mode_ = mode; }
  void set_text_position(float x, float y) override { text_x_ = x, text_y_ = y; }
  void print_text(const std::string& text) override;
  TwipsRect placement_twips() const override { return placement_; }
  Bitmap bitmap() const override;

  // Device pixel of a user coordinate (the logical pixel at ratio 1): the edges of the scale fall
  // on the first and last pixel. The factors are taken when the scale or the size changes.
  int pixel_x(float x) const { return map_.x(x); }
  int pixel_y(float y) const { return map_.y(y); }
  // Pen width in device pixels: a one-pixel pen stays one device pixel, wider pens grow with the
  // ratio.
  int device_pen_width() const;
  // The part of the picture drawn on since the last call, in logical pixels (empty when nothing
  // was): what a widget showing the picture has to repaint.
  QRect take_changed();
  // A painter on image() set up as every line of this surface is drawn: device pixels, no
  // antialiasing, the pen width, style and square caps, and the drawing mode.
  void begin(QPainter& painter, Colour colour, LineStyle style) const;

 private:
  void mark_changed(const QRect& device_rect);
  void mark_line(int x1, int y1, int x2, int y2);
  void update_factors();

  QImage image_;
  qreal dpr_ = 1.0;  // device pixels per logical pixel of image_
  float top_ = 1, height_ = -1, width_ = 1;
  PixelMapping map_;  // user coordinates to device pixels
  int pen_width_ = 1;
  Colour foreground_ = 0, background_;
  LineStyle style_ = LineStyle::Solid;
  DrawMode mode_ = DrawMode::Copy;
  float text_x_ = 0, text_y_ = 0;
  TwipsRect placement_;
  QFont font_;
  // A polyline's lines, kept so that drawing allocates nothing: as traced, and as Qt draws them.
  std::vector<PixelLine> traced_;
  std::vector<QLine> lines_;
  QRect changed_;  // device pixels drawn on since take_changed()
};

// 0x00BBGGRR as Qt's colour.
inline QColor to_qcolor(Colour c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

}  // namespace zetra::platform
