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

// The time in the hover readout, in whole seconds; -1 when the status line shows none.
int readout_seconds(const std::string& status) {
  const std::string key = "Time:  ";
  const size_t at = status.find(key);
  return at == std::string::npos ? -1 : std::stoi(status.substr(at + key.size()));
}

TEST_F(ChartNavigationTest, StatusLineReadoutFollowsEveryMoveEditAndTheLink) {
  WindowModel& w = h.window();
  const std::string scales_only = "DIV: 10s_200_500_10\xC2\xB0" "C_10\xC2\xB0" "C ";
  w.mouse_move({0, 0, 99, 0});  // sample 100 at 0.5 s each
  EXPECT_EQ(readout_seconds(w["st1"].caption), 50);
  key(ChartKey::PageDown);  // the pointer now stands over later samples
  const int later = readout_seconds(w["st1"].caption);
  EXPECT_NEAR(later, (s.view_start + 99) * 0.5f, 1) << w["st1"].caption;
  EXPECT_GT(later, 150);
  wheel(-1);
  EXPECT_GT(readout_seconds(w["st1"].caption), later);
  key(ChartKey::Home);
  EXPECT_EQ(readout_seconds(w["st1"].caption), 50);
  w.mouse_leave();  // off the chart: a move leaves no value under the pointer
  key(ChartKey::End);
  EXPECT_EQ(w["st1"].caption, scales_only);

  // A measurement goes with the selection it measured, here by a cut.
  key(ChartKey::Home);
  w.check("psample");
  w.mouse_down({1, 0, 10, 0});
  w.mouse_move({1, 0, 101, 0});
  w.mouse_up({1, 0, 101, 0});
  EXPECT_NE(w["st1"].caption.find("Samples:  91"), std::string::npos) << w["st1"].caption;
  ASSERT_TRUE(h.recorder.press("pcut"));
  EXPECT_EQ(w["st1"].caption.find("Samples"), std::string::npos) << w["st1"].caption;
  EXPECT_EQ(readout_seconds(w["st1"].caption), 51);  // the value under the pointer instead

  // The live readouts are greyed whenever no link feeds them.
  for (const char* name : {"t2", "t1", "t4", "t22", "t12", "t42"}) {
    EXPECT_FALSE(w[name].enabled) << name << " before On";
  }
  h.connect();
  for (const char* name : {"t2", "t1", "t4", "t22", "t12", "t42"}) EXPECT_TRUE(w[name].enabled);
  h.recorder.press("conoff");
  for (const char* name : {"t2", "t1", "t4", "t22", "t12", "t42"}) {
    EXPECT_FALSE(w[name].enabled) << name << " after Off";
  }
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
