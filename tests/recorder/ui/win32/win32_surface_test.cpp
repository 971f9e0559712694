// The GDI surface on real DIB pictures: the fast polyline against one line per pair of
// neighbours, invert mode that restores, dots, text with the degree sign, the bitmap's pixels.
#include "platform/win32/win32_surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace zetra::platform {
namespace {

constexpr Colour kRed = 0x0000FF, kWhite = 0xFFFFFF;

std::vector<uint32_t> pixels(const Win32Surface& s) {
  std::vector<uint32_t> all;
  for (int y = 0; y < s.height(); ++y) {
    for (int x = 0; x < s.width(); ++x) all.push_back(s.pixel(x, y));
  }
  return all;
}

bool painted_near(const Win32Surface& s, int x, int y) {
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if ((dx || dy) && s.pixel(x + dx, y + dy) == 0xFF0000u) return true;
    }
  }
  return false;
}

void prepare(Win32Surface& s, int width, int height, float samples, int pen) {
  s.resize(width, height);
  s.set_background(kWhite);
  s.clear();
  s.set_scale(100, -100, samples);
  s.set_pen_width(pen);
  s.set_foreground(kRed);
}

// Many samples per column, few, NaN among them: the same picture as drawing every segment on its
// own (wide pens to within a pixel of their edges), and every sample's own pixel painted.
TEST(Win32Surface, PolylineIsTheUnionOfItsSegments) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> level(-20, 120);
  for (const int count : {2, 3, 40, 700, 5000}) {
    for (const int pen : {1, 2, 3}) {
      std::vector<float> ys(static_cast<size_t>(count));
      for (float& y : ys) y = level(random);
      if (count > 10) ys[5] = NAN;
      Win32Surface fast, slow;
      prepare(fast, 160, 90, static_cast<float>(count - 1), pen);
      prepare(slow, 160, 90, static_cast<float>(count - 1), pen);
      fast.polyline(0, ys.data(), count);
      for (int k = 0; k + 1 < count; ++k) {
        slow.line(static_cast<float>(k), ys[k], static_cast<float>(k + 1), ys[k + 1]);
      }
      const std::vector<uint32_t> a = pixels(fast), b = pixels(slow);
      for (size_t i = 0; i < a.size(); ++i) {
        const int x = static_cast<int>(i % 160), y = static_cast<int>(i / 160);
        if (pen == 1) {
          ASSERT_EQ(a[i], b[i]) << count << " samples at " << x << "," << y;
        } else if (a[i] != b[i]) {
          // GDI rounds a wide stroke's edges per stroke: the pictures may differ by a pixel at
          // an edge, never by more.
          ASSERT_TRUE(painted_near(fast, x, y) && painted_near(slow, x, y))
              << count << " samples, pen " << pen << " at " << x << "," << y;
        }
      }
      for (int k = 0; k < count; ++k) {
        const int x = fast.pixel_x(static_cast<float>(k)), y = fast.pixel_y(ys[k]);
        if (x >= 0 && x < 160 && y >= 0 && y < 90) {
          ASSERT_EQ(fast.pixel(x, y), 0xFF0000u) << "sample " << k << " of " << count;
        }
      }
    }
  }
}

// A one-sample spike in a flat trace of many samples per column shows, and no column is painted
// beyond its samples' span.
TEST(Win32Surface, SpikeShowsAndNothingIsInvented) {
  std::vector<float> ys(10000, 50.0f);
  ys[4321] = 95.0f;
  Win32Surface s;
  prepare(s, 200, 100, 9999, 1);
  s.polyline(0, ys.data(), static_cast<int>(ys.size()));
  const int spike_x = s.pixel_x(4321), top = s.pixel_y(95), flat = s.pixel_y(50);
  for (int y = top; y <= flat; ++y) EXPECT_EQ(s.pixel(spike_x, y), 0xFF0000u) << y;
  for (int x = 0; x < 200; ++x) {
    if (std::abs(x - spike_x) <= 1) continue;
    EXPECT_EQ(s.pixel(x, top), 0xFFFFFFu) << x;
    EXPECT_EQ(s.pixel(x, flat), 0xFF0000u) << x;
  }
}

// Lines drawn twice in invert mode restore the picture exactly, dotted and wide ones too; a point
// is a square as wide as the pen; clear paints the background.
TEST(Win32Surface, InvertRestoresAndPointsAreSquares) {
  Win32Surface s;
  prepare(s, 120, 80, 100, 1);
  s.line(0, 0, 100, 100);
  const std::vector<uint32_t> before = pixels(s);
  s.set_draw_mode(DrawMode::Invert);
  for (const int pen : {1, 3}) {
    for (const LineStyle style : {LineStyle::Solid, LineStyle::Dotted}) {
      s.set_pen_width(pen);
      s.set_line_style(style);
      s.line(10, 90, 90, 5);
      EXPECT_NE(pixels(s), before);
      s.line(10, 90, 90, 5);
      EXPECT_EQ(pixels(s), before) << "pen " << pen;
    }
  }
  s.set_draw_mode(DrawMode::Copy);
  s.set_pen_width(3);
  s.set_foreground(0x00FF00);  // green
  s.point(50, 50);
  const int x = s.pixel_x(50), y = s.pixel_y(50);
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) EXPECT_EQ(s.pixel(x + dx, y + dy), 0x00FF00u);
  }
  EXPECT_NE(s.pixel(x + 2, y), 0x00FF00u);
  s.clear();
  for (uint32_t p : pixels(s)) ASSERT_EQ(p, 0xFFFFFFu);
}

// Dotted lines leave gaps; the scale's edges fall on the first and last pixel.
TEST(Win32Surface, DottedLinesAndScaleEdges) {
  Win32Surface s;
  prepare(s, 101, 51, 100, 1);
  s.set_line_style(LineStyle::Dotted);
  s.line(0, 50, 100, 50);
  int painted = 0;
  for (int x = 0; x < 101; ++x) painted += s.pixel(x, s.pixel_y(50)) == 0xFF0000u;
  EXPECT_GT(painted, 20);
  EXPECT_LT(painted, 80);
  EXPECT_EQ(s.pixel_x(0), 0);
  EXPECT_EQ(s.pixel_x(100), 100);
  EXPECT_EQ(s.pixel_y(100), 0);
  EXPECT_EQ(s.pixel_y(0), 50);
}

// Text lands below and right of its position in the foreground colour, the degree sign included,
// and marks what changed; the bitmap carries every pixel with full alpha.
TEST(Win32Surface, TextAndBitmap) {
  Win32Surface s;
  prepare(s, 200, 60, 200, 1);
  s.take_changed();
  s.set_text_position(20, 80);
  s.print_text("36.1\xC2\xB0" "C");
  int left = 200, top = 60, painted = 0;
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 200; ++x) {
      if (s.pixel(x, y) == 0xFFFFFFu) continue;
      ++painted;
      left = std::min(left, x);
      top = std::min(top, y);
    }
  }
  EXPECT_GT(painted, 20);
  EXPECT_GE(left, s.pixel_x(20));
  EXPECT_GE(top, s.pixel_y(80));
  const RECT changed = s.take_changed();
  EXPECT_LE(changed.left, left);
  EXPECT_LE(changed.top, top);
  EXPECT_EQ(s.take_changed().right, 0);  // taken
  const Bitmap bitmap = s.bitmap();
  ASSERT_EQ(bitmap.width, 200);
  ASSERT_EQ(bitmap.height, 60);
  EXPECT_EQ(bitmap.pixels[0], 0xFFFFFFFFu);
  EXPECT_EQ(bitmap.pixels[static_cast<size_t>(top) * 200 + static_cast<size_t>(left)],
            s.pixel(left, top) | 0xFF000000u);
}

// At 144 DPI a wide pen is half again as wide; a one-pixel pen stays one pixel.
TEST(Win32Surface, WidePensGrowWithTheDpi) {
  Win32Surface s;
  s.resize(100, 100, 144);
  s.set_pen_width(2);
  EXPECT_EQ(s.device_pen_width(), 3);
  s.set_pen_width(1);
  EXPECT_EQ(s.device_pen_width(), 1);
}

}  // namespace
}  // namespace zetra::platform
