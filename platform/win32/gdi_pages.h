// Pages drawn with GDI in the printer interface's terms: a user scale over the printable area,
// lines as wide as that many screen pixels, text at a print position that wraps at the right edge
// and runs onto a new page past the foot. Where the pages go (a printer, or pictures in memory for
// tests) is the sink's business.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/printer.h"

namespace zetra::platform {

// The printable area of a page in device pixels and the device's resolution.
struct PageDevice {
  HDC dc = nullptr;
  int width_px = 1, height_px = 1;
  int dpi_x = 96, dpi_y = 96;
};

class PageSink {
 public:
  virtual ~PageSink() = default;
  // Starts a page in the orientation; the device to draw it on, with a null dc on failure.
  virtual PageDevice start_page(PageOrientation orientation) = 0;
  // The page as it stands is done; false when the device refused it.
  virtual bool end_page() = 0;
  // The size a page of this orientation will have, before it is started.
  virtual PageDevice measure(PageOrientation orientation) = 0;
};

class GdiPages {
 public:
  explicit GdiPages(PageSink& sink) : sink_(sink) {}
  ~GdiPages();
  GdiPages(const GdiPages&) = delete;
  GdiPages& operator=(const GdiPages&) = delete;

  void set_orientation(PageOrientation orientation) { orientation_ = orientation; }
  double page_width_twips();
  double page_height_twips();
  void set_scale(double left, double top, double width, double height);
  void set_line_width(int width) { line_width_ = width < 1 ? 1 : width; }
  void set_colour(uint32_t bgr) { colour_ = bgr & 0xFFFFFFu; }
  void set_font_size(double points) { font_points_ = points > 0 ? points : 10; }
  void set_position(double x, double y) { x_ = x, y_ = y; }
  void print(const std::string& text);
  void line(double x1, double y1, double x2, double y2);
  // Ends the page being drawn (an empty one when none was begun).
  bool new_page();
  // Ends the last page; false when a page was refused.
  bool finish();
  int pages_started() const { return pages_; }

 private:
  const PageDevice& page();  // the page being drawn, started on first use
  double device_x(double x) const;
  double device_y(double y) const;
  double user_y(double device_y) const;
  void print_line(const std::wstring& line);
  HFONT font();

  PageSink& sink_;
  PageOrientation orientation_ = PageOrientation::Landscape;
  PageDevice device_;
  bool page_open_ = false, failed_ = false;
  int pages_ = 0;
  double left_ = 0, top_ = 0, width_ = 1, height_ = 1;  // user scale
  double x_ = 0, y_ = 0;                                // print position, user units
  int line_width_ = 1;
  COLORREF colour_ = 0;
  double font_points_ = 10;
  HFONT font_ = nullptr;
  double font_made_for_ = 0;  // the size in points font_ has
  int font_dpi_ = 0;
};

}  // namespace zetra::platform
