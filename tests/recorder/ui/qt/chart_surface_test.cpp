// The Qt drawing surface on real images: the fast per-column trace against one line per pair of
// neighbours, the sample's own pixel, invert mode, and a full redraw of the widest view.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
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

// Samples that are not plain numbers (NaN, infinities) and scales that run backwards or have no
// width: the fast trace still equals one line per pair of neighbours.
TEST(QtSurface, OddSamplesAndScalesEqualOneLinePerSample) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::vector<float> ys(3000);
  for (size_t k = 0; k < ys.size(); ++k) ys[k] = 1000 + 900 * std::sin(static_cast<float>(k) * 0.01f);
  ys[700] = nan;
  ys[1401] = inf;
  ys[1402] = -inf;
  ys[2999] = nan;
  struct Scale {
    float top, height, width;
  };
  for (const Scale sc : {Scale{2000, -2000, 3000}, Scale{0, 2000, 3000}, Scale{2000, -2000, -3000},
                         Scale{2000, 0, 3000}, Scale{2000, -2000, 0}}) {
    QtSurface fast, brute;
    prepare(fast, 500, 300, sc.top, sc.height, sc.width, 1);
    prepare(brute, 500, 300, sc.top, sc.height, sc.width, 1);
    fast.polyline(1, ys.data(), static_cast<int>(ys.size()), kBlue);
    for (size_t k = 0; k + 1 < ys.size(); ++k) {
      brute.line(static_cast<float>(k + 1), ys[k], static_cast<float>(k + 2), ys[k + 1], kBlue);
    }
    ASSERT_EQ(fast.image(), brute.image()) << "scale " << sc.top << " " << sc.height << " " << sc.width;
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

// Rows of column c that the straight line from pixel (ax, ay) to (bx, by) can cover: the line's
// height over the column give or take one pixel sideways (a steep line's rasteriser may step to
// the next column half a pixel early or late), within the line's own ends.
struct Rows {
  double low, high;
};
Rows line_rows_in_column(int ax, int ay, int bx, int by, int c) {
  if (ax == bx) return {static_cast<double>(std::min(ay, by)), static_cast<double>(std::max(ay, by))};
  auto at = [&](double x) {
    const double t = std::clamp((x - ax) / (bx - ax), 0.0, 1.0);
    return ay + t * (by - ay);
  };
  const double enter = at(c - 1.0), leave = at(c + 1.0);
  return {std::min(enter, leave), std::max(enter, leave)};
}

// The widest view, each trace rendered alone into a 1600 x 900 chart: every sample's own pixel is
// painted (a one-sample spike shows), and no column is painted beyond its samples and the lines
// crossing into it (+-1 pixel); against one line per pair of samples, no column differs.
TEST(QtSurface, WidestViewLosesAndInventsNothing) {
  constexpr int kCount = 100000;
  std::mt19937 random(3);
  std::normal_distribution<float> noise(0, 40);
  std::vector<std::vector<float>> traces(4, std::vector<float>(kCount));
  float level = 1000, temp = 25;
  for (int k = 0; k < kCount; ++k) {
    level += noise(random) * 0.05f;
    temp += noise(random) * 0.0005f;
    traces[0][k] = level + noise(random) - (random() % 2999 == 0 ? 10000.0f : 0.0f);  // markers
    traces[1][k] = k % 5000 == 2500 ? 3900.0f : -300 + noise(random);  // one-sample spikes up
    traces[2][k] = (temp - 20) * 400;
    traces[3][k] = std::sin(k * 0.001f) * 1500;  // smooth: many crossing lines, few samples
  }
  for (size_t t = 0; t < traces.size(); ++t) {
    const std::vector<float>& ys = traces[t];
    QtSurface fast, plain;
    prepare(fast, 1600, 900, 4000, -16000, kCount, 1);
    prepare(plain, 1600, 900, 4000, -16000, kCount, 1);
    fast.polyline(1, ys.data(), kCount, kBlue);
    for (int k = 0; k + 1 < kCount; ++k) {
      plain.line(static_cast<float>(k + 1), ys[k], static_cast<float>(k + 2), ys[k + 1], kBlue);
    }
    const QImage& image = fast.image();
    const QRgb blue = qRgb(0, 0, 255);
    std::vector<Rows> allowed(1600, Rows{1e9, -1e9});
    for (int k = 0; k < kCount; ++k) {
      const int x = fast.pixel_x(static_cast<float>(k + 1)), y = fast.pixel_y(ys[k]);
      ASSERT_EQ(image.pixel(x, y), blue) << "trace " << t << ": sample " << k << " not painted";
      if (k + 1 == kCount) break;
      const int bx = fast.pixel_x(static_cast<float>(k + 2)), by = fast.pixel_y(ys[k + 1]);
      for (int c = x; c <= bx; ++c) {
        const Rows r = line_rows_in_column(x, y, bx, by, c);
        allowed[c].low = std::min(allowed[c].low, r.low);
        allowed[c].high = std::max(allowed[c].high, r.high);
      }
    }
    int differing = 0;
    for (int c = 0; c < 1600; ++c) {
      int top = -1, bottom = -1, plain_top = -1, plain_bottom = -1;
      for (int y = 0; y < 900; ++y) {
        if (image.pixel(c, y) == blue) {
          if (top < 0) top = y;
          bottom = y;
        }
        if (plain.image().pixel(c, y) == blue) {
          if (plain_top < 0) plain_top = y;
          plain_bottom = y;
        }
      }
      if (top < 0) continue;
      EXPECT_GE(top, allowed[c].low - 1) << "trace " << t << ", column " << c;
      EXPECT_LE(bottom, allowed[c].high + 1) << "trace " << t << ", column " << c;
      if (std::abs(top - plain_top) > 1 || std::abs(bottom - plain_bottom) > 1) ++differing;
    }
    std::printf("trace %zu: %d of 1600 columns differ from one line per pair by more than 1 pixel\n",
                t, differing);
    EXPECT_EQ(differing, 0) << "trace " << t;
  }
}

// The widest view through the renderer: four traces, temperature lines and grid into 1600 x 900,
// the pen at the last sample and the newest temperature's pixel painted. (Its time is a figure of
// the benchmark program, zetra_bench.)
TEST(QtSurface, WidestViewRedraws) {
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
  renderer.r_line();
  EXPECT_EQ(s.pen_x, 99998.0f);
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
