// The resize layout in twips, the minimum size and the remembered geometry.
#include <gtest/gtest.h>

#include "recorder/chart/chart.h"
#include "tests/support/recorder_harness.h"

namespace zetra::chart {
namespace {

using testing::RecorderHarness;

TEST(WindowLayout, TwipsOfBothLayouts) {
  const WindowLayout hidden = lay_out_window(12000, 9000, false);
  EXPECT_EQ(hidden.chart.left, 0);
  EXPECT_EQ(hidden.chart.top, 2160);
  EXPECT_EQ(hidden.chart.width, 10000);
  EXPECT_EQ(hidden.chart.height, 5000);
  EXPECT_EQ(hidden.nhs1.top, 7550);  // 390 below the chart's bottom
  EXPECT_EQ(hidden.nhs1.width, 10800);
  EXPECT_EQ(hidden.nvs1.left, 10972);
  EXPECT_EQ(hidden.nvs2.left, 11200);
  EXPECT_EQ(hidden.nvs12.left, 11440);
  EXPECT_EQ(hidden.nvs22.left, 11670);
  EXPECT_EQ(hidden.nvs22.top + hidden.nvs22.height, 7460);  // 300 below the chart's bottom
  EXPECT_EQ(hidden.sp1.width, 11860);
  EXPECT_FALSE(hidden.notes_visible);
  const WindowLayout shown = lay_out_window(12000, 9000, true);
  EXPECT_EQ(shown.chart.height, 3420);
  EXPECT_EQ(shown.nhs1.top, 5970);
  EXPECT_EQ(shown.nvs1.top, 2760);  // under two rows of captions
  EXPECT_EQ(shown.nvs1.height, 3120);
  EXPECT_TRUE(shown.notes_visible);
  EXPECT_EQ(shown.nt1.top, 6250);
  EXPECT_EQ(shown.nt1.width, 11840);
  // Room for a paragraph: five lines of 12-point text (240 twips each) and the frame.
  EXPECT_GE(shown.nt1.height, 5 * 240 + 120);
  EXPECT_LE(shown.nt1.top + shown.nt1.height, 9000 - 1250);  // above menu and status bar
}

bool overlap(const platform::TwipsRect& a, const platform::TwipsRect& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

// Each vertical bar has its caption above it, wide enough for "CH1" in small bold text (about
// 330 twips), clear of the chart and its scale labels (900 twips right of it), of the other
// captions and of every bar.
TEST(WindowLayout, EachVerticalBarHasItsCaptionAbove) {
  for (const float width : {kMinimumWidthTwips, 15000.0f, 28800.0f}) {
    const WindowLayout l = lay_out_window(width, 11000, true);
    const platform::TwipsRect bars[] = {l.nvs1, l.nvs2, l.nvs12, l.nvs22};
    const platform::TwipsRect captions[] = {l.lnvs1, l.lnvs2, l.lnvs12, l.lnvs22};
    for (int i = 0; i < 4; ++i) {
      SCOPED_TRACE(::testing::Message() << "width " << width << ", bar " << i);
      const platform::TwipsRect& c = captions[i];
      EXPECT_GE(c.width, 360);
      EXPECT_GE(c.height, 240);
      EXPECT_NEAR(c.left + c.width / 2, bars[i].left + bars[i].width / 2, 20);
      EXPECT_LE(c.top + c.height, bars[i].top);
      EXPECT_GE(c.left, l.chart.left + l.chart.width + 850);
      EXPECT_LE(c.left + c.width, l.width);
      for (int j = 0; j < 4; ++j) {
        EXPECT_FALSE(overlap(c, bars[j])) << "bar " << j;
        if (j != i) {
          EXPECT_FALSE(overlap(c, captions[j])) << "caption " << j;
        }
      }
    }
  }
}

TEST(WindowLayout, MinimumSizeAndRememberedGeometry) {
  RecorderHarness h;
  RecorderState& s = h.state();
  Chart& chart = h.recorder.chart();
  WindowLayout applied;
  chart.apply_layout = [&](const WindowLayout& l) { applied = l; };
  chart.resize({300, 200, 8000, 6000, false, false});
  EXPECT_EQ(applied.width, 9000);
  EXPECT_EQ(applied.height, 7000);
  EXPECT_EQ(s.win_width, 9000.0f);
  EXPECT_EQ(s.win_height, 7000.0f);
  EXPECT_EQ(s.win_left, 300.0f);
  EXPECT_EQ(s.win_top, 200.0f);
  // Maximised: laid out, but the last normal geometry stays.
  chart.resize({0, 0, 20000, 15000, false, true});
  EXPECT_EQ(applied.width, 20000);
  EXPECT_EQ(s.win_width, 9000.0f);
  // Minimised: nothing at all.
  chart.resize({0, 0, 100, 100, true, false});
  EXPECT_EQ(applied.width, 20000);
  // Notes on lays out again at the same size.
  h.window().check("pnoteson");
  h.recorder.procedures().form_resize();
  EXPECT_TRUE(applied.notes_visible);
  EXPECT_EQ(applied.width, 20000);
  // A frame 240 twips wider than its client area: the controls fit the client, the settings keep
  // the outer width, and a resize by form_resize keeps both.
  chart.resize({0, 0, 15000, 11000, false, false, 240});
  EXPECT_EQ(applied.width, 14760);
  EXPECT_EQ(applied.nvs22.left + applied.nvs22.width, 14760 - 105);
  EXPECT_EQ(s.win_width, 15000.0f);
  h.recorder.procedures().form_resize();
  EXPECT_EQ(applied.width, 14760);
  EXPECT_EQ(s.win_width, 15000.0f);
  // A row of 255 twips that the window adds above its status bar: the controls are laid out in a
  // window that much shorter, the settings keep the outer height, form_resize keeps both.
  chart.resize({0, 0, 15000, 11000, false, false, 240, 255});
  EXPECT_EQ(applied.height, 10745);
  EXPECT_EQ(applied.nhs1.top, lay_out_window(14760, 10745, true).nhs1.top);
  EXPECT_EQ(s.win_height, 11000.0f);
  h.recorder.procedures().form_resize();
  EXPECT_EQ(applied.height, 10745);
  EXPECT_EQ(s.win_height, 11000.0f);
}

}  // namespace
}  // namespace zetra::chart
