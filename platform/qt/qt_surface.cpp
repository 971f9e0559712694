#include "platform/qt/qt_surface.h"

#include <QPen>
#include <algorithm>
#include <cmath>

namespace zetra::platform {

QtSurface::QtSurface(Colour background) : background_(background & 0xFFFFFFu) { resize(1, 1); }

void QtSurface::resize(int width_px, int height_px, qreal device_pixel_ratio) {
  dpr_ = device_pixel_ratio > 0 ? device_pixel_ratio : 1.0;
  const int width = static_cast<int>(std::lround(std::max(1, width_px) * dpr_));
  const int height = static_cast<int>(std::lround(std::max(1, height_px) * dpr_));
  image_ = QImage(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
  image_.setDevicePixelRatio(dpr_);
  update_factors();
  clear();
}

void QtSurface::update_factors() {
  map_.x_factor = static_cast<double>(image_.width() - 1) / width_;
  map_.y_factor = static_cast<double>(image_.height() - 1) / height_;
  map_.top = top_;
}

int QtSurface::device_pen_width() const {
  if (pen_width_ <= 1) return 1;
  return std::max(1, static_cast<int>(std::lround(pen_width_ * dpr_)));
}

void QtSurface::set_scale(float top, float height, float width) {
  top_ = top;
  height_ = height;
  width_ = width;
  update_factors();
}

void QtSurface::clear() {
  image_.fill(to_qcolor(background_));
  changed_ = image_.rect();
}

void QtSurface::mark_changed(const QRect& device_rect) {
  changed_ |= device_rect.intersected(image_.rect());
}

// Lines of device pixels from (x1, y1) to (x2, y2): a square-capped pen reaches half its width
// beyond both ends; one more pixel covers the rasteriser's rounding.
void QtSurface::mark_line(int x1, int y1, int x2, int y2) {
  const int reach = device_pen_width() / 2 + 1;
  mark_changed(QRect(QPoint(std::min(x1, x2) - reach, std::min(y1, y2) - reach),
                     QPoint(std::max(x1, x2) + reach, std::max(y1, y2) + reach)));
}

QRect QtSurface::take_changed() {
  if (changed_.isEmpty()) return {};
  // Device pixels to the logical pixels a widget repaints, rounded outwards.
  const QRect device = changed_;
  changed_ = QRect();
  const auto down = [this](int v) { return static_cast<int>(std::floor(v / dpr_)); };
  const auto up = [this](int v) { return static_cast<int>(std::ceil(v / dpr_)); };
  return QRect(QPoint(down(device.left()), down(device.top())),
               QPoint(up(device.right() + 1) - 1, up(device.bottom() + 1) - 1));
}

// Lines are drawn in device pixels: the painter's own scaling by the ratio is undone.
void QtSurface::begin(QPainter& painter, Colour colour, LineStyle style) const {
  if (dpr_ != 1.0) painter.scale(1.0 / dpr_, 1.0 / dpr_);
  painter.setRenderHint(QPainter::Antialiasing, false);
  QPen pen(to_qcolor(colour));
  pen.setWidth(device_pen_width());
  pen.setStyle(style == LineStyle::Dotted ? Qt::DotLine : Qt::SolidLine);
  pen.setCapStyle(Qt::SquareCap);
  painter.setPen(pen);
  if (mode_ == DrawMode::Invert) painter.setCompositionMode(QPainter::RasterOp_NotDestination);
}

void QtSurface::line(float x1, float y1, float x2, float y2) { line(x1, y1, x2, y2, foreground_); }

void QtSurface::line(float x1, float y1, float x2, float y2, Colour colour) {
  QPainter painter(&image_);
  begin(painter, colour, style_);
  const int px1 = pixel_x(x1), py1 = pixel_y(y1), px2 = pixel_x(x2), py2 = pixel_y(y2);
  painter.drawLine(px1, py1, px2, py2);
  mark_line(px1, py1, px2, py2);
}

// A square dot as wide as the pen, written straight into the picture.
void QtSurface::point(float x, float y) {
  const int size = device_pen_width();
  const int left = pixel_x(x) - size / 2;
  const int top = pixel_y(y) - size / 2;
  const QRgb rgb = to_qcolor(foreground_).rgb();
  for (int row = std::max(0, top); row < std::min(image_.height(), top + size); ++row) {
    auto* line = reinterpret_cast<QRgb*>(image_.scanLine(row));
    for (int col = std::max(0, left); col < std::min(image_.width(), left + size); ++col) {
      line[col] = mode_ == DrawMode::Invert ? (line[col] ^ 0x00FFFFFFu) : rgb;
    }
  }
  mark_changed(QRect(left, top, size, size));
}

void QtSurface::fill_rect(float x1, float y1, float x2, float y2, Colour colour) {
  const QRect device = QRect(QPoint(pixel_x(x1), pixel_y(y1)), QPoint(pixel_x(x2), pixel_y(y2)))
                           .normalized()
                           .intersected(image_.rect());
  if (device.isEmpty()) return;
  QPainter painter(&image_);
  if (dpr_ != 1.0) painter.scale(1.0 / dpr_, 1.0 / dpr_);
  painter.fillRect(device, to_qcolor(colour));
  mark_changed(device);
}

void QtSurface::polyline(float first_x, const float* ys, int count) {
  polyline(first_x, ys, count, foreground_);
}

// The trace as pixel lines (shared with every other surface, so the chart looks alike on each).
void QtSurface::polyline(float first_x, const float* ys, int count, Colour colour) {
  if (count < 2) return;
  trace_lines(map_, first_x, ys, count, device_pen_width() > 1, traced_);
  lines_.clear();
  for (const PixelLine& l : traced_) lines_.emplace_back(l.x1, l.y1, l.x2, l.y2);
  const PixelLine box = bounds_of(traced_);
  mark_line(box.x1, box.y1, box.x2, box.y2);
  QPainter painter(&image_);
  begin(painter, colour, LineStyle::Solid);
  if (device_pen_width() == 1) {
    painter.drawLines(lines_.data(), static_cast<int>(lines_.size()));
  } else {
    // Wide lines one by one: stroked together, overlaps of a batch would not paint alike.
    for (const QLine& l : lines_) painter.drawLine(l);
  }
}

// Text in logical units, so the painter renders the glyphs at the full device resolution.
void QtSurface::print_text(const std::string& text) {
  QPainter painter(&image_);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.setPen(to_qcolor(foreground_));
  painter.setFont(font_);
  const QFontMetrics metrics(font_);
  const QString qtext = QString::fromStdString(text);
  const QPointF at(pixel_x(text_x_) / dpr_, pixel_y(text_y_) / dpr_);
  painter.drawText(at + QPointF(0, metrics.ascent()), qtext);
  // Glyphs may reach a little beyond their advance (italics, antialiased edges).
  const QRectF logical(at, QSizeF(metrics.horizontalAdvance(qtext), metrics.height()));
  const QRectF device(logical.topLeft() * dpr_, logical.size() * dpr_);
  mark_changed(device.toAlignedRect().adjusted(-4, -4, 4, 4));
}

Bitmap QtSurface::bitmap() const {
  Bitmap bitmap;
  bitmap.width = image_.width();
  bitmap.height = image_.height();
  bitmap.pixels.resize(static_cast<size_t>(bitmap.width) * bitmap.height);
  for (int row = 0; row < bitmap.height; ++row) {
    const auto* line = reinterpret_cast<const QRgb*>(image_.constScanLine(row));
    std::copy(line, line + bitmap.width, bitmap.pixels.begin() + static_cast<ptrdiff_t>(row) * bitmap.width);
  }
  return bitmap;
}

}  // namespace zetra::platform
