// Drawing at a device pixel ratio of 2: the surfaces hold device pixels, hairlines, dots and text
// land on single device pixels instead of 2 x 2 blocks, invert still restores; the real window
// (run with QT_SCALE_FACTOR=2) leaves a full-resolution screenshot in this folder.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/qt/qt_surface.h"
#include "recorder/app/recorder.h"
#include "recorder/ui/qt/main_window.h"
#include "standins/base_unit/base_unit_library.h"
#include "standins/meter/scripted_meter.h"
#include "standins/serial_line/fake_serial_port.h"
#include "tests/support/counting_pause.h"
#include "tests/support/memory_clipboard.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/stand_in_window_test.h"

namespace zetra::ui {
namespace {

using platform::Colour;
using platform::DrawMode;
using platform::LineStyle;
using platform::QtSurface;

constexpr Colour kBlue = 16711680;
const QRgb kBackground = qRgb(255, 255, 192);

void prepare(QtSurface& s, int w, int h, qreal dpr, int pen) {
  s.resize(w, h, dpr);
  s.set_scale(2000, -2000, 1000);
  s.set_pen_width(pen);
}

// Aligned 2 x 2 blocks of the rectangle whose four pixels are not all alike. A picture drawn at
// half resolution and doubled has none.
int mixed_blocks(const QImage& image, const QRect& area) {
  int n = 0;
  const QRect r = area.intersected(image.rect());
  for (int y = r.top() & ~1; y + 1 <= r.bottom(); y += 2) {
    for (int x = r.left() & ~1; x + 1 <= r.right(); x += 2) {
      const QRgb p = image.pixel(x, y);
      n += (image.pixel(x + 1, y) != p || image.pixel(x, y + 1) != p ||
            image.pixel(x + 1, y + 1) != p) ? 1 : 0;
    }
  }
  return n;
}

int count_not(const QImage& image, QRgb colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) != colour ? 1 : 0;
  }
  return n;
}

std::vector<float> wave(int count) {
  std::vector<float> ys(static_cast<size_t>(count));
  for (int k = 0; k < count; ++k) ys[static_cast<size_t>(k)] = 1000 + 800 * std::sin(k * 0.013f);
  return ys;
}

TEST(HighDpiSurface, HoldsDevicePixelsAndMapsTheScaleOntoThem) {
  QtSurface s;
  prepare(s, 300, 150, 2, 1);
  EXPECT_EQ(s.image().size(), QSize(600, 300));
  EXPECT_EQ(s.image().devicePixelRatio(), 2.0);
  EXPECT_EQ(s.image().deviceIndependentSize(), QSizeF(300, 150));
  EXPECT_EQ(s.pixel_x(0), 0);
  EXPECT_EQ(s.pixel_x(1000), 599);
  EXPECT_EQ(s.pixel_y(2000), 0);
  EXPECT_EQ(s.pixel_y(0), 299);
  const platform::Bitmap bitmap = s.bitmap();  // Copy Wave Graph: device pixels
  EXPECT_EQ(bitmap.width, 600);
  EXPECT_EQ(bitmap.height, 300);
  s.resize(300, 150);  // back at ratio 1: logical pixels again
  EXPECT_EQ(s.image().size(), QSize(300, 150));
  EXPECT_EQ(s.image().devicePixelRatio(), 1.0);
}

TEST(HighDpiSurface, HairlinesAndSmallDotsAreSingleDevicePixels) {
  QtSurface s;
  prepare(s, 200, 100, 2, 1);
  s.line(100, 1234, 900, 1234, kBlue);
  const int row = s.pixel_y(1234);
  for (int x = s.pixel_x(100); x <= s.pixel_x(900); ++x) {
    int lit = 0;
    for (int y = 0; y < s.image().height(); ++y) lit += s.image().pixel(x, y) != kBackground;
    ASSERT_EQ(lit, 1) << "column " << x;
    ASSERT_EQ(s.image().pixel(x, row), qRgb(0, 0, 255));
  }
  s.clear();
  s.point(333, 777);
  EXPECT_EQ(count_not(s.image(), kBackground), 1);
  s.clear();
  s.set_pen_width(2);  // the grid's crossings: as wide as two logical pixels
  s.point(333, 777);
  EXPECT_EQ(count_not(s.image(), kBackground), 16);
}

TEST(HighDpiSurface, TraceIsDrawnAtDeviceResolutionNotDoubled) {
  const std::vector<float> ys = wave(1000);
  QtSurface low, high;
  prepare(low, 300, 150, 1, 1);
  prepare(high, 300, 150, 2, 1);
  low.polyline(1, ys.data(), 1000, kBlue);
  high.polyline(1, ys.data(), 1000, kBlue);
  const QImage doubled =
      low.image().scaled(600, 300, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  EXPECT_NE(high.image().convertToFormat(QImage::Format_RGB32),
            doubled.convertToFormat(QImage::Format_RGB32));
  EXPECT_EQ(mixed_blocks(doubled, doubled.rect()), 0);  // the measure itself sees doubling
  const int trace_blocks = mixed_blocks(high.image(), high.image().rect());
  // A hairline crosses about one block per device column pair: nearly all its blocks are mixed.
  EXPECT_GT(trace_blocks, 280);
  // Thin: about as many device pixels as a one-pixel line twice as long, not four times as many.
  EXPECT_LT(count_not(high.image(), kBackground), 3 * count_not(low.image(), kBackground));
}

TEST(HighDpiSurface, ColumnTraceEqualsOneLinePerSampleAtRatioTwo) {
  const std::vector<float> ys = wave(1000);
  for (int pen = 1; pen <= 3; ++pen) {
    QtSurface fast, brute;
    prepare(fast, 307, 161, 2, pen);
    prepare(brute, 307, 161, 2, pen);
    fast.polyline(1, ys.data(), 1000, kBlue);
    for (int k = 0; k + 1 < 1000; ++k) {
      brute.line(static_cast<float>(k + 1), ys[static_cast<size_t>(k)], static_cast<float>(k + 2),
                 ys[static_cast<size_t>(k + 1)], kBlue);
    }
    ASSERT_EQ(fast.image(), brute.image()) << "pen " << pen;
  }
}

TEST(HighDpiSurface, InvertDrawnTwiceRestoresAtRatioTwo) {
  const std::vector<float> ys = wave(1000);
  for (int pen = 1; pen <= 2; ++pen) {
    QtSurface s;
    prepare(s, 301, 149, 2, pen);
    s.polyline(1, ys.data(), 1000, kBlue);
    const QImage before = s.image().copy();
    s.set_draw_mode(DrawMode::Invert);
    auto draw = [&] {
      s.set_line_style(LineStyle::Dotted);
      s.line(333, 2000, 333, 0);
      s.set_line_style(LineStyle::Solid);
      s.line(0, 100, 1000, 1900);
      s.polyline(1, ys.data(), 1000, kBlue);
      s.point(500, 1000);
    };
    draw();
    EXPECT_NE(s.image(), before) << "pen " << pen;
    draw();
    EXPECT_EQ(s.image(), before) << "pen " << pen;
  }
}

TEST(HighDpiSurface, TextIsRenderedAtFullResolution) {
  QtSurface low, high;
  prepare(low, 200, 60, 1, 1);
  prepare(high, 200, 60, 2, 1);
  for (QtSurface* s : {&low, &high}) {
    s->set_font(QFont("DejaVu Sans", 9));
    s->set_text_position(100, 1800);
    s->print_text("10.5 s");
  }
  auto ink_height = [](const QImage& image) {
    int top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, y) != kBackground) top = std::min(top, y), bottom = std::max(bottom, y);
      }
    }
    return bottom - top + 1;
  };
  const int h1 = ink_height(low.image()), h2 = ink_height(high.image());
  ASSERT_GT(h1, 4);
  EXPECT_GE(h2, 2 * h1 - 3);  // the same logical size ...
  EXPECT_LE(h2, 2 * h1 + 3);
  EXPECT_GT(mixed_blocks(high.image(), high.image().rect()), 20);  // ... in finer glyphs
}

class HighDpiWindowTest : public testing::StandInWindowTest {
 protected:
  HighDpiWindowTest() : StandInWindowTest(1000, 720) {}
};

TEST_F(HighDpiWindowTest, ScreenshotHasChartGridAndLabelsAtFullResolution) {
  ASSERT_EQ(window->devicePixelRatioF(), 2.0) << "run with QT_SCALE_FACTOR=2";
  window->findChild<QAction*>("pusb1")->trigger();
  window->findChild<QPushButton*>("conoff")->click();
  window->findChild<QPushButton*>("crec")->click();
  for (int n = 1; n <= 200; ++n) {
    tick("Timer1");
    if (n % 4 == 0) tick("Timer2");
    if (n % 7 == 0) tick("Timer3");
  }
  tick("Timer2");
  auto* p1 = window->findChild<QWidget*>("p1");
  ASSERT_NE(p1, nullptr);
  EXPECT_EQ(chart_surface.image().size(), p1->size() * 2);
  EXPECT_EQ(chart_surface.image().devicePixelRatio(), 2.0);
  EXPECT_EQ(window_layer.image().devicePixelRatio(), 2.0);

  const QImage shot = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(shot.size(), window->size() * 2);
  const QString path = QStringLiteral(SCREENSHOT_DIR "/high_dpi_window.png");
  ASSERT_TRUE(shot.save(path));
  std::printf("screenshot: %s\n", qPrintable(path));

  // The chart as shown: the surface's device pixels land one to one in the screenshot.
  const QPoint at = p1->mapTo(window.get(), QPoint(0, 0)) * 2;
  const QRect chart_area(at, p1->size() * 2);
  EXPECT_EQ(shot.copy(chart_area), chart_surface.image().convertToFormat(QImage::Format_RGB32));
  // Hairline grid dots and traces: thousands of blocks that a doubled picture could not have.
  EXPECT_GT(mixed_blocks(shot, chart_area), 2000);
  // The labels left of and below the chart, from the window's drawing layer.
  const QRect left_labels(0, chart_area.top(), chart_area.left(), chart_area.height());
  const QRect bottom_labels(chart_area.left(), chart_area.bottom() + 1, chart_area.width(), 60);
  EXPECT_GT(mixed_blocks(shot, left_labels) + mixed_blocks(shot, bottom_labels), 100);
}

}  // namespace
}  // namespace zetra::ui

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR")) qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
