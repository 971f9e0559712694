// The drawing surface on a persistent GDI picture (a 32-bit DIB section in a memory DC): the chart
// p1 in user coordinates, or the window's own drawing layer in twips. A window shows it by BitBlt;
// invert mode flips pixels (R2_NOT). The picture is in physical pixels at the monitor's DPI: wide
// pens and text grow with the DPI, a one-pixel pen stays one pixel.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/pixel_trace.h"
#include "platform/surface.h"

namespace zetra::platform {

class Win32Surface : public Surface {
 public:
  explicit Win32Surface(Colour background = 12648447);
  ~Win32Surface() override;
  Win32Surface(const Win32Surface&) = delete;
  Win32Surface& operator=(const Win32Surface&) = delete;

  // A new picture of the given size in pixels, filled with the background colour, for a screen of
  // `dpi` dots per inch (96 is 100 %).
  void resize(int width_px, int height_px, int dpi = 96);
  int width() const { return width_px_; }
  int height() const { return height_px_; }
  int dpi() const { return dpi_; }
  void set_placement(const TwipsRect& placement) { placement_ = placement; }
  // The font of text (the window's UI font at its DPI); the caller keeps it alive. None: the
  // system's default GUI font.
  void set_font(HFONT font);
  // The memory DC that holds the picture, for BitBlt to a window.
  HDC dc() const { return dc_; }
  // The pixel at (x, y) as 0x00RRGGBB.
  uint32_t pixel(int x, int y) const;

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

  // Pixel of a user coordinate: the edges of the scale fall on the first and last pixel.
  int pixel_x(float x) const { return map_.x(x); }
  int pixel_y(float y) const { return map_.y(y); }
  // Pen width in pixels: one stays one, wider pens grow with the DPI.
  int device_pen_width() const;
  // The part of the picture drawn on since the last call (empty when nothing was): what the
  // window showing it has to repaint.
  RECT take_changed();

 private:
  void draw_segments(const std::vector<PixelLine>& segments, Colour colour, LineStyle style);
  void draw_square(int left, int top, int size, Colour colour);
  void mark_changed(int left, int top, int right, int bottom);
  void mark_line(int x1, int y1, int x2, int y2);
  void update_factors();
  void release_picture();

  HDC dc_ = nullptr;
  HBITMAP picture_ = nullptr, original_ = nullptr;
  uint32_t* bits_ = nullptr;  // top-down rows of 0x00RRGGBB, owned by picture_
  int width_px_ = 1, height_px_ = 1, dpi_ = 96;
  float top_ = 1, height_ = -1, width_ = 1;
  PixelMapping map_;  // user coordinates to pixels
  int pen_width_ = 1;
  Colour foreground_ = 0, background_;
  LineStyle style_ = LineStyle::Solid;
  DrawMode mode_ = DrawMode::Copy;
  float text_x_ = 0, text_y_ = 0;
  TwipsRect placement_;
  HFONT font_ = nullptr;
  std::vector<PixelLine> segments_;  // a polyline's lines, kept to draw them without allocating
  RECT changed_{0, 0, 0, 0};  // pixels drawn on since take_changed(), right and bottom exclusive
};

}  // namespace zetra::platform
