#include "platform/win32/gdi_pages.h"

#include <cmath>
#include <vector>

#include "platform/win32/utf16.h"

namespace zetra::platform {

GdiPages::~GdiPages() {
  if (font_) ::DeleteObject(font_);
}

const PageDevice& GdiPages::page() {
  if (!page_open_) {
    device_ = sink_.start_page(orientation_);
    page_open_ = true;
    ++pages_;
    if (!device_.dc) failed_ = true;
  }
  return device_;
}

double GdiPages::page_width_twips() {
  const PageDevice d = page_open_ ? device_ : sink_.measure(orientation_);
  return d.width_px * 1440.0 / d.dpi_x;
}

double GdiPages::page_height_twips() {
  const PageDevice d = page_open_ ? device_ : sink_.measure(orientation_);
  return d.height_px * 1440.0 / d.dpi_y;
}

void GdiPages::set_scale(double left, double top, double width, double height) {
  left_ = left;
  top_ = top;
  width_ = width == 0 ? 1 : width;
  height_ = height == 0 ? 1 : height;
}

double GdiPages::device_x(double x) const { return (x - left_) / width_ * device_.width_px; }
double GdiPages::device_y(double y) const { return (y - top_) / height_ * device_.height_px; }
double GdiPages::user_y(double device) const { return top_ + device / device_.height_px * height_; }

// Widths count screen pixels, so a page looks like the chart whatever the printer's resolution.
void GdiPages::line(double x1, double y1, double x2, double y2) {
  const PageDevice& d = page();
  if (!d.dc) return;
  LOGBRUSH brush{BS_SOLID, colour_, 0};
  const DWORD width = static_cast<DWORD>(std::max(1L, std::lround(line_width_ * d.dpi_x / 96.0)));
  HPEN pen = ::ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND, width,
                            &brush, 0, nullptr);
  HGDIOBJ old = ::SelectObject(d.dc, pen);
  ::MoveToEx(d.dc, static_cast<int>(std::lround(device_x(x1))),
             static_cast<int>(std::lround(device_y(y1))), nullptr);
  ::LineTo(d.dc, static_cast<int>(std::lround(device_x(x2))),
           static_cast<int>(std::lround(device_y(y2))));
  ::SelectObject(d.dc, old);
  ::DeleteObject(pen);
}

HFONT GdiPages::font() {
  if (font_ && font_made_for_ == font_points_ && font_dpi_ == device_.dpi_y) return font_;
  if (font_) ::DeleteObject(font_);
  const int height = -static_cast<int>(std::lround(font_points_ * device_.dpi_y / 72.0));
  font_ = ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_SWISS, L"Arial");
  font_made_for_ = font_points_;
  font_dpi_ = device_.dpi_y;
  return font_;
}

void GdiPages::print(const std::string& text) {
  std::wstring all = to_utf16(text);
  std::erase(all, L'\r');
  size_t from = 0;
  while (true) {
    const size_t end = all.find(L'\n', from);
    print_line(all.substr(from, end == std::wstring::npos ? std::wstring::npos : end - from));
    if (end == std::wstring::npos) break;
    from = end + 1;
  }
}

// One line of text with its top at the print position, wrapped at the page's right edge; the
// position moves to the next line, onto a new page past the foot of this one.
void GdiPages::print_line(const std::wstring& line) {
  if (!page().dc) return;
  size_t start = 0;
  for (;;) {
    HDC dc = device_.dc;
    HGDIOBJ old = ::SelectObject(dc, font());
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    double at_x = device_x(x_), at_y = device_y(y_);
    if (at_y + metrics.tmHeight > device_.height_px && at_y > metrics.tmHeight) {
      ::SelectObject(dc, old);
      if (!new_page() || !page().dc) return;
      y_ = user_y(0);
      continue;
    }
    const int room = std::max(0, static_cast<int>(device_.width_px - at_x));
    const int left = static_cast<int>(line.size() - start);
    int fit = 0;
    SIZE size{};
    ::GetTextExtentExPointW(dc, line.c_str() + start, left, room, &fit, nullptr, &size);
    fit = std::max(1, std::min(fit, left));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colour_);
    ::SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    if (left > 0) {
      ::TextOutW(dc, static_cast<int>(std::lround(at_x)), static_cast<int>(std::lround(at_y)),
                 line.c_str() + start, fit);
    }
    ::SelectObject(dc, old);
    start += static_cast<size_t>(left > 0 ? fit : 0);
    y_ = user_y(at_y + metrics.tmHeight);
    if (start >= line.size()) break;
  }
}

bool GdiPages::new_page() {
  page();
  page_open_ = false;
  if (!sink_.end_page()) failed_ = true;
  return !failed_;
}

bool GdiPages::finish() {
  page();
  page_open_ = false;
  if (!sink_.end_page()) failed_ = true;
  return !failed_;
}

}  // namespace zetra::platform
