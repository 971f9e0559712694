// A drawing surface as the chart logic sees it: the chart `p1` (a persistent image in user
// coordinates) and the window's own drawing layer (ticks and labels around the chart, in twips).
#pragma once

#include <cstdint>
#include <string>

#include "platform/clipboard.h"

namespace zetra::platform {

// Colours are packed as blue x 65536 + green x 256 + red, as everywhere in the recorder.
using Colour = uint32_t;

enum class LineStyle { Solid, Dotted };

// Copy paints the colour; Invert flips every painted pixel, so drawing the same line twice
// restores the picture exactly (the selection lines rely on this).
enum class DrawMode { Copy, Invert };

// A rectangle in twips (1440 to the inch) within the window's client area.
struct TwipsRect {
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
};

class Surface {
 public:
  virtual ~Surface() = default;

  // User scale: x runs from 0 (left edge) to `width` (right edge); y is `top` at the top edge and
  // `top + height` at the bottom edge, so a negative height makes y grow upward.
  virtual void set_scale(float top, float height, float width) = 0;
  virtual float scale_top() const = 0;
  virtual float scale_height() const = 0;
  virtual float scale_width() const = 0;

  // Fills the whole surface with the background colour.
  virtual void clear() = 0;

  // Straight line between two points in user coordinates, with the current pen width, line
  // style and drawing mode; in the foreground colour or in the given one.
  virtual void line(float x1, float y1, float x2, float y2) = 0;
  virtual void line(float x1, float y1, float x2, float y2, Colour colour) = 0;

  // One point in the foreground colour, as wide as the pen.
  virtual void point(float x, float y) = 0;

  // Fills the rectangle between the corners (x1, y1) and (x2, y2), in user coordinates, with the
  // colour; always painted, whatever the drawing mode.
  virtual void fill_rect(float x1, float y1, float x2, float y2, Colour colour) = 0;

  // Trace through the points (first_x + k, ys[k]) for k = 0 .. count - 1, joined by straight
  // lines: the same picture as count - 1 calls of line() between neighbours, drawn fast however
  // many points share a pixel column. Solid, in the current pen width and drawing mode.
  virtual void polyline(float first_x, const float* ys, int count) = 0;
  virtual void polyline(float first_x, const float* ys, int count, Colour colour) = 0;

  virtual int pen_width() const = 0;
  virtual void set_pen_width(int width) = 0;
  virtual Colour foreground() const = 0;
  virtual void set_foreground(Colour colour) = 0;
  virtual Colour background() const = 0;
  virtual void set_background(Colour colour) = 0;
  virtual LineStyle line_style() const = 0;
  virtual void set_line_style(LineStyle style) = 0;
  virtual DrawMode draw_mode() const = 0;
  virtual void set_draw_mode(DrawMode mode) = 0;

  // Text: the position is in user coordinates and marks the text's top-left corner; the text
  // (UTF-8) is printed there in the foreground colour.
  virtual void set_text_position(float x, float y) = 0;
  virtual void print_text(const std::string& text) = 0;

  // Where this surface sits in the window, in twips. For the window layer itself: its whole area.
  virtual TwipsRect placement_twips() const = 0;

  // The persistent picture as it stands (Copy Wave Graph).
  virtual Bitmap bitmap() const = 0;
};

}  // namespace zetra::platform
