// Wheel and keys on the chart: the same bar moves and Time/DIV items as scroll bar and menus,
// never past the data, and nothing moves a chart that follows a running recording.
#include <gtest/gtest.h>

#include "tests/support/recorder_harness.h"

namespace zetra::chart {
namespace {

using testing::RecorderHarness;

class ChartNavigationTest : public ::testing::Test {
 protected:
  ChartNavigationTest() {
    for (int i = 1; i <= 2000; ++i) s.append(static_cast<float>(i), 0, 20, 20);
    s.shown_count = s.rec_next;  // 2001
    h.recorder.procedures().nhs1_set();
  }
  void wheel(int notches, int shift = 0, float x = 0) { h.window().wheel({notches, shift, x}); }
  void key(ChartKey k) { h.window().key(k); }
  int bar() { return h.window()["nhs1"].value; }
  // The view a bar position stands for, as the scroll bar's own handling computes it.
  float start_at(int position) {
    return std::max(1.0f, static_cast<float>(position * static_cast<double>(s.shown_count) / 32767));
  }

  RecorderHarness h;
  RecorderState& s = h.state();
};

TEST_F(ChartNavigationTest, WheelAndKeysMoveLikeTheScrollBarWithinTheData) {
  const Control& nhs1 = h.window()["nhs1"];
  ASSERT_EQ(nhs1.small_change, 655);  // 40 samples of 2001
  const int first = bar();            // view_start 1
  wheel(-1);                          // towards the user: later
  EXPECT_EQ(bar(), first + 655);
  EXPECT_EQ(s.view_start, start_at(first + 655));
  EXPECT_EQ(s.hs_request, 0);  // served at once, with its redraw
  EXPECT_FALSE(h.chart_surface.polylines.empty());
  wheel(-2, 1);  // Shift: two pages
  EXPECT_EQ(bar(), first + 655 + 2 * nhs1.large_change);
  wheel(1);
  EXPECT_EQ(bar(), first + 2 * nhs1.large_change);
  key(ChartKey::Home);
  EXPECT_EQ(bar(), 0);
  EXPECT_EQ(s.view_start, 1.0f);
  key(ChartKey::Left);  // nothing before the start
  EXPECT_EQ(bar(), 0);
  key(ChartKey::PageDown);
  EXPECT_EQ(bar(), nhs1.large_change);
  key(ChartKey::Right);
  EXPECT_EQ(bar(), nhs1.large_change + nhs1.small_change);
  key(ChartKey::PageUp);
  EXPECT_EQ(bar(), nhs1.small_change);
  // End shows the newest page; nothing goes beyond it.
  key(ChartKey::End);
  EXPECT_NEAR(s.view_start + s.view_width, s.shown_count, 1);
  const int end = bar();
  key(ChartKey::Right);
  wheel(-3, 1);
  key(ChartKey::PageDown);
  EXPECT_EQ(bar(), end);
  EXPECT_EQ(h.window()["st1"].caption, "DIV: 10s_200_500_10\xC2\xB0" "C_10\xC2\xB0" "C ");
}

TEST_F(ChartNavigationTest, CtrlWheelStepsTimeDivAroundThePointer) {
  key(ChartKey::PageDown);
  key(ChartKey::PageDown);
  const float before = s.view_start;
  const float under_pointer = before + 100;  // a quarter across
  wheel(1, 2, 100);                          // away from the user: closer in
  EXPECT_TRUE(h.window()["pt5s"].checked);
  EXPECT_FALSE(h.window()["pt10s"].checked);
  EXPECT_EQ(s.view_width, 200.0f);
  EXPECT_EQ(s.label_time, "5s");
  EXPECT_EQ(h.window()["st1"].caption.substr(0, 9), "DIV: 5s_2");
  EXPECT_NEAR(s.view_start + 0.25f * 200, under_pointer, 1);
  wheel(-2, 2, 100);  // two values further out
  EXPECT_TRUE(h.window()["pt20s"].checked);
  EXPECT_EQ(s.view_width, 800.0f);
  EXPECT_GE(s.view_start, 1.0f);
  EXPECT_LE(s.view_start + s.view_width, s.shown_count);  // still inside the data
  for (int k = 0; k < 12; ++k) wheel(1, 2, 0);
  EXPECT_TRUE(h.window()["pt1s"].checked);  // the first value is the limit
  EXPECT_EQ(s.view_width, 40.0f);
  for (int k = 0; k < 12; ++k) wheel(-1, 2, 0);
  EXPECT_TRUE(h.window()["pt1000s"].checked);
  EXPECT_EQ(s.view_start, 1.0f);  // everything fits: the bar cannot move
  const int stuck = bar();
  key(ChartKey::Right);
  EXPECT_EQ(bar(), stuck);
}

TEST_F(ChartNavigationTest, LiveChartIsNotScrolled) {
  h.connect();
  h.recorder.press("crec");
  ASSERT_EQ(h.window()["crec"].caption, "Stop");
  const int position = bar();
  const float start = s.view_start;
  wheel(-1);
  key(ChartKey::End);
  EXPECT_EQ(s.view_start, start);
  EXPECT_EQ(s.hs_request, 0);
  EXPECT_EQ(bar(), position);
}

}  // namespace
}  // namespace zetra::chart
