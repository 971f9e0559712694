#include "platform/qt/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QString>

namespace zetra::platform {

void QtClipboard::clear() { QGuiApplication::clipboard()->clear(); }

void QtClipboard::set_text(const std::string& text) {
  // The table is plain ASCII apart from the degree sign, kept as UTF-8 inside the program.
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void QtClipboard::set_bitmap(const Bitmap& bitmap) {
  QImage image(bitmap.width, bitmap.height, QImage::Format_RGB32);
  for (int y = 0; y < bitmap.height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
    for (int x = 0; x < bitmap.width; ++x) {
      row[x] = bitmap.pixels[static_cast<size_t>(y) * static_cast<size_t>(bitmap.width) +
                             static_cast<size_t>(x)];
    }
  }
  QGuiApplication::clipboard()->setImage(image);
}

}  // namespace zetra::platform
