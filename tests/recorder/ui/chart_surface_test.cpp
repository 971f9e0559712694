// The Qt drawing surface on real images: the fast per-column trace against one line per pair of
// neighbours, the sample's own pixel, invert mode, and a full redraw of the widest view.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <chrono>
#include <random>
#include <vector>

#include "platform/qt/qt_surface.h"
#include "recorder/chart/chart_renderer.h"
#include "tests/support/recorder_harness.h"

namespace zetra::platform {
namespace {

constexpr Colour kBlue = 16711680;

void prepare(QtSurface& s, int w, int h, float top, float height, float width, int pen) {
  s.resize(w, h);
  s.set_scale(top, height, width);
  s.set_pen_width(pen);
}

TEST(QtSurface, ColumnTraceEqualsOneLinePerSample) {
  std::mt19937 random(7);
  const float widths[] = {40, 400, 1000, 40000, 100000};
  for (float view_width : widths) {
    for (int pen = 1; pen <= 3; ++pen) {
      const int count = static_cast<int>(view_width);
      std::vector<float> ys(static_cast<size_t>(count));
      std::normal_distribution<float> noise(0, 150);
      float level = 1000;
      for (float& y : ys) {
        level += noise(random);
        y = level;
        if (random() % 997 == 0) y -= 10000;  // a marker: a one-sample spike far below
      }
      QtSurface fast, brute;
      prepare(fast, 613, 331, 2000, -2000, view_width, pen);
      prepare(brute, 613, 331, 2000, -2000, view_width, pen);
      fast.polyline(1, ys.data(), count, kBlue);
      for (int k = 0; k + 1 < count; ++k) {
        brute.line(static_cast<float>(k + 1), ys[k], static_cast<float>(k + 2), ys[k + 1], kBlue);
      }
      ASSERT_EQ(fast.image(), brute.image()) << "view width " << view_width << ", pen " << pen;
    }
  }
}

TEST(QtSurface, EverySampleShowsAndInvertRestores) {
  QtSurface s;
  prepare(s, 400, 200, 2000, -2000, 400, 1);
  std::vector<float> ys(300, 1000.0f);
  ys[150] = 1900;  // a one-sample spike
  s.polyline(1, ys.data(), 300, kBlue);
  const QRgb blue = qRgb(0, 0, 255);
  EXPECT_EQ(s.image().pixel(s.pixel_x(151), s.pixel_y(1900)), blue);
  EXPECT_EQ(s.image().pixel(s.pixel_x(10), s.pixel_y(1000)), blue);
  EXPECT_EQ(s.image().pixel(s.pixel_x(10), s.pixel_y(1500)), qRgb(255, 255, 192));
  const QImage before = s.image().copy();
  s.set_line_style(LineStyle::Dotted);
  s.set_draw_mode(DrawMode::Invert);
  s.line(100, 2000, 100, -2000);
  EXPECT_NE(s.image(), before);
  s.line(100, 2000, 100, -2000);
  EXPECT_EQ(s.image(), before);
  const Bitmap bitmap = s.bitmap();
  EXPECT_EQ(bitmap.width, 400);
  EXPECT_EQ(bitmap.pixels[static_cast<size_t>(s.pixel_y(1000)) * 400 + s.pixel_x(10)] & 0xFFFFFFu,
            0x0000FFu);
}

// The widest view: 100,000 samples, four traces, temperature lines and grid into 1600 x 900.
TEST(QtSurface, WidestViewRedrawsQuickly) {
  testing::RecorderHarness h;
  RecorderState& s = h.state();
  std::mt19937 random(3);
  std::uniform_real_distribution<float> value(-500, 1500);
  for (int i = 0; i < 99999; ++i) s.append(value(random), value(random), 25, 30);
  s.shown_count = s.rec_next;
  s.view_width = 100000;
  QtSurface chart, layer(0xF0F0F0);
  chart.resize(1600, 900);
  chart.set_placement({0, 2160, 24000, 13500});
  layer.resize(1800, 1200);
  layer.set_scale(0, 18000, 27000);
  RecorderContext& context = h.recorder.context();
  chart::ChartRenderer renderer(context, chart, layer);
  renderer.r_line();  // warm up the buffers
  const auto start = std::chrono::steady_clock::now();
  renderer.r_line();
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("r_line of 100,000 samples x 4 traces into 1600 x 900: %.1f ms\n", ms);
  EXPECT_EQ(s.pen_x, 99998.0f);
  EXPECT_LT(ms, 250.0);
  EXPECT_EQ(chart.image().pixel(chart.pixel_x(1), chart.pixel_y(s.last_t1)), qRgb(255, 0, 0));
}

}  // namespace
}  // namespace zetra::platform

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);  // fonts for the labels
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
