#include "platform/win32/win32_surface.h"

#include <cmath>

#include "platform/win32/utf16.h"

namespace zetra::platform {
namespace {

// 0x00BBGGRR (the recorder's colours, GDI's COLORREF) as a DIB pixel 0x00RRGGBB.
uint32_t to_pixel_value(Colour c) {
  return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

// One on, two off: the dotted grid lines look as in the other window.
const DWORD kDots[] = {1, 2};

HPEN make_pen(int width, Colour colour, LineStyle style) {
  LOGBRUSH brush{BS_SOLID, colour & 0xFFFFFFu, 0};
  if (width <= 1) {
    if (style == LineStyle::Solid) return ::CreatePen(PS_SOLID, 1, colour & 0xFFFFFFu);
    return ::ExtCreatePen(PS_COSMETIC | PS_USERSTYLE, 1, &brush, 2, kDots);
  }
  const DWORD pen_style = style == LineStyle::Dotted ? PS_DOT : PS_SOLID;
  return ::ExtCreatePen(PS_GEOMETRIC | pen_style | PS_ENDCAP_SQUARE | PS_JOIN_MITER,
                        static_cast<DWORD>(width), &brush, 0, nullptr);
}

}  // namespace

Win32Surface::Win32Surface(Colour background) : background_(background & 0xFFFFFFu) {
  dc_ = ::CreateCompatibleDC(nullptr);
  resize(1, 1);
}

Win32Surface::~Win32Surface() {
  release_picture();
  if (dc_) ::DeleteDC(dc_);
}

void Win32Surface::release_picture() {
  if (!picture_) return;
  ::SelectObject(dc_, original_);
  ::DeleteObject(picture_);
  picture_ = nullptr;
  bits_ = nullptr;
}

void Win32Surface::resize(int width_px, int height_px, int dpi) {
  release_picture();
  width_px_ = std::max(1, width_px);
  height_px_ = std::max(1, height_px);
  dpi_ = dpi > 0 ? dpi : 96;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width_px_;
  info.bmiHeader.biHeight = -height_px_;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  picture_ = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bits_ = static_cast<uint32_t*>(bits);
  original_ = static_cast<HBITMAP>(::SelectObject(dc_, picture_));
  update_factors();
  clear();
}

void Win32Surface::set_font(HFONT font) { font_ = font; }

uint32_t Win32Surface::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_px_ || y >= height_px_ || !bits_) return 0;
  ::GdiFlush();
  return bits_[static_cast<size_t>(y) * static_cast<size_t>(width_px_) + static_cast<size_t>(x)] &
         0xFFFFFFu;
}

void Win32Surface::update_factors() {
  map_.x_factor = static_cast<double>(width_px_ - 1) / width_;
  map_.y_factor = static_cast<double>(height_px_ - 1) / height_;
  map_.top = top_;
}

int Win32Surface::device_pen_width() const {
  if (pen_width_ <= 1) return 1;
  return std::max(1, static_cast<int>(std::lround(pen_width_ * dpi_ / 96.0)));
}

void Win32Surface::set_scale(float top, float height, float width) {
  top_ = top;
  height_ = height;
  width_ = width;
  update_factors();
}

void Win32Surface::clear() {
  ::GdiFlush();
  if (bits_) {
    std::fill(bits_, bits_ + static_cast<size_t>(width_px_) * static_cast<size_t>(height_px_),
              to_pixel_value(background_));
  }
  changed_ = RECT{0, 0, width_px_, height_px_};
}

void Win32Surface::mark_changed(int left, int top, int right, int bottom) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width_px_);
  bottom = std::min(bottom, height_px_);
  if (left >= right || top >= bottom) return;
  if (changed_.left >= changed_.right) {
    changed_ = RECT{left, top, right, bottom};
    return;
  }
  changed_.left = std::min<LONG>(changed_.left, left);
  changed_.top = std::min<LONG>(changed_.top, top);
  changed_.right = std::max<LONG>(changed_.right, right);
  changed_.bottom = std::max<LONG>(changed_.bottom, bottom);
}

// A square-capped pen reaches half its width beyond both ends; one more pixel covers rounding.
void Win32Surface::mark_line(int x1, int y1, int x2, int y2) {
  const int reach = device_pen_width() / 2 + 1;
  mark_changed(std::min(x1, x2) - reach, std::min(y1, y2) - reach, std::max(x1, x2) + reach + 1,
               std::max(y1, y2) + reach + 1);
}

RECT Win32Surface::take_changed() {
  const RECT changed = changed_;
  changed_ = RECT{0, 0, 0, 0};
  return changed;
}

// GDI leaves out a thin line's last pixel; one more step of one pixel paints it, once, so that
// an inverted line drawn twice restores the picture. A wide pen's stroke holds both ends already;
// one of no length is its square.
void Win32Surface::draw_segments(const std::vector<PixelLine>& segments, Colour colour,
                                 LineStyle style) {
  const int width = device_pen_width();
  HPEN pen = make_pen(width, colour, style);
  HGDIOBJ old_pen = ::SelectObject(dc_, pen);
  const int old_rop = ::SetROP2(dc_, mode_ == DrawMode::Invert ? R2_NOT : R2_COPYPEN);
  for (const PixelLine& s : segments) {
    if (width > 1 && s.x1 == s.x2 && s.y1 == s.y2) {
      draw_square(s.x1 - width / 2, s.y1 - width / 2, width, colour);
      continue;
    }
    ::MoveToEx(dc_, s.x1, s.y1, nullptr);
    ::LineTo(dc_, s.x2, s.y2);
    if (width == 1) ::LineTo(dc_, s.x2 + 1, s.y2);
  }
  ::SetROP2(dc_, old_rop);
  ::SelectObject(dc_, old_pen);
  ::DeleteObject(pen);
}

void Win32Surface::line(float x1, float y1, float x2, float y2) { line(x1, y1, x2, y2, foreground_); }

void Win32Surface::line(float x1, float y1, float x2, float y2, Colour colour) {
  const PixelLine s{pixel_x(x1), pixel_y(y1), pixel_x(x2), pixel_y(y2)};
  segments_.assign(1, s);
  draw_segments(segments_, colour, style_);
  mark_line(s.x1, s.y1, s.x2, s.y2);
}

// A square of pixels written straight into the picture, in the drawing mode.
void Win32Surface::draw_square(int left, int top, int size, Colour colour) {
  ::GdiFlush();
  const uint32_t value = to_pixel_value(colour);
  for (int row = std::max(0, top); row < std::min(height_px_, top + size); ++row) {
    uint32_t* line = bits_ + static_cast<size_t>(row) * static_cast<size_t>(width_px_);
    for (int col = std::max(0, left); col < std::min(width_px_, left + size); ++col) {
      line[col] = mode_ == DrawMode::Invert ? (line[col] ^ 0x00FFFFFFu) : value;
    }
  }
  mark_changed(left, top, left + size, top + size);
}

// A square dot as wide as the pen.
void Win32Surface::point(float x, float y) {
  const int size = device_pen_width();
  draw_square(pixel_x(x) - size / 2, pixel_y(y) - size / 2, size, foreground_);
}

// Both corners' pixels are inside, as on the Qt surface; always painted, whatever the mode.
void Win32Surface::fill_rect(float x1, float y1, float x2, float y2, Colour colour) {
  const int left = std::max(0, std::min(pixel_x(x1), pixel_x(x2)));
  const int right = std::min(width_px_ - 1, std::max(pixel_x(x1), pixel_x(x2)));
  const int top = std::max(0, std::min(pixel_y(y1), pixel_y(y2)));
  const int bottom = std::min(height_px_ - 1, std::max(pixel_y(y1), pixel_y(y2)));
  if (left > right || top > bottom) return;
  ::GdiFlush();
  const uint32_t value = to_pixel_value(colour);
  for (int row = top; row <= bottom; ++row) {
    uint32_t* line = bits_ + static_cast<size_t>(row) * static_cast<size_t>(width_px_);
    std::fill(line + left, line + right + 1, value);
  }
  mark_changed(left, top, right + 1, bottom + 1);
}

void Win32Surface::polyline(float first_x, const float* ys, int count) {
  polyline(first_x, ys, count, foreground_);
}

// The trace as pixel lines (shared with every other surface, so the chart looks alike on each).
void Win32Surface::polyline(float first_x, const float* ys, int count, Colour colour) {
  if (count < 2) return;
  trace_lines(map_, first_x, ys, count, device_pen_width() > 1, segments_);
  draw_segments(segments_, colour, LineStyle::Solid);
  const PixelLine box = bounds_of(segments_);
  mark_line(box.x1, box.y1, box.x2, box.y2);
}

void Win32Surface::print_text(const std::string& text) {
  const std::wstring wide = to_utf16(text);
  HGDIOBJ old_font =
      ::SelectObject(dc_, font_ ? static_cast<HGDIOBJ>(font_) : ::GetStockObject(DEFAULT_GUI_FONT));
  ::SetBkMode(dc_, TRANSPARENT);
  ::SetTextColor(dc_, foreground_);
  ::SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  const int x = pixel_x(text_x_), y = pixel_y(text_y_);
  ::TextOutW(dc_, x, y, wide.c_str(), static_cast<int>(wide.size()));
  SIZE size{0, 0};
  ::GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &size);
  ::SelectObject(dc_, old_font);
  // Glyphs may reach a little beyond their advance (italics, ClearType edges).
  mark_changed(x - 4, y - 4, x + size.cx + 4, y + size.cy + 4);
}

Bitmap Win32Surface::bitmap() const {
  ::GdiFlush();
  Bitmap bitmap;
  bitmap.width = width_px_;
  bitmap.height = height_px_;
  const size_t count = static_cast<size_t>(width_px_) * static_cast<size_t>(height_px_);
  bitmap.pixels.resize(count);
  for (size_t k = 0; k < count; ++k) bitmap.pixels[k] = bits_[k] | 0xFF000000u;
  return bitmap;
}

}  // namespace zetra::platform
