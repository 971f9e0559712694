// Scales and scrolling through the window model: menus, status line, resetp, nhs1_set(b) and the
// deferred scrollbar requests that Timer3 serves.
#include <gtest/gtest.h>

#include "recorder/numbers/number_format.h"
#include "tests/support/recorder_harness.h"

namespace zetra::chart {
namespace {

using testing::RecorderHarness;

void fill(RecorderState& s, int samples, float value = 0) {
  for (int i = 0; i < samples; ++i) s.append(value, value, 25, 25);
}

const std::string kDeg = std::string(numbers::kDegreeSign);

TEST(ChartScales, TimeDivisionsRateChangeAndStatusLine) {
  RecorderHarness h;
  RecorderState& s = h.state();
  EXPECT_EQ(h.window()["st1"].caption, "DIV: 10s_200_500_10" + kDeg + "C_10" + kDeg + "C ");
  h.recorder.press("pt1s");
  EXPECT_EQ(s.view_width, 40.0f);
  EXPECT_TRUE(h.window()["pt1s"].checked);
  EXPECT_FALSE(h.window()["pt10s"].checked);
  h.recorder.press("pt1000s");
  EXPECT_EQ(s.view_width, 40000.0f);
  h.recorder.press("pt10s");
  h.recorder.press("p5s1");  // 2/s -> 5/s keeps 10 s per division
  EXPECT_EQ(s.view_width, 1000.0f);
  // Every command lists all five labels.
  h.recorder.press("ppn10002");
  h.recorder.press("pt01");
  h.recorder.press("pt122");
  EXPECT_EQ(s.span2, 10000.0f);
  EXPECT_EQ(s.tspan1, 1);
  EXPECT_EQ(s.tspan2, 120);
  EXPECT_EQ(h.window()["st1"].caption,
            "DIV: 10s_200_1000_0.1" + kDeg + "C_12" + kDeg + "C ");
  h.recorder.press("ppn100002");
  EXPECT_EQ(s.label_div2, "10,000");
}

TEST(ChartScales, ValueDivisionTakesTheOffsetFromItsScrollbar) {
  RecorderHarness h;
  RecorderState& s = h.state();
  EXPECT_EQ(s.offset1, 200.0f);  // nvs1 at -10, 200 per division
  h.recorder.press("ppn500");
  EXPECT_EQ(s.span1, 5000.0f);
  EXPECT_EQ(s.offset1, 500.0f);
  h.window().scroll("nvs12", -150);
  h.recorder.press("ppn202");
  EXPECT_EQ(s.offset2, 300.0f);
  // The scroll request of nvs12 moves the offset at the next Timer3 tick, with one redraw.
  h.chart_surface.clears = 0;
  h.recorder.tick("Timer3");
  EXPECT_EQ(s.vs12_request, 0);
  EXPECT_EQ(s.offset2, 300.0f);
  EXPECT_EQ(h.chart_surface.clears, 1);
  // Temperature bars set the base directly; a busy bar posts nothing.
  h.window().scroll("nvs2", 40);
  s.vs22_busy = 1;
  h.window().scroll("nvs22", 60);
  s.vs22_busy = 0;
  h.recorder.tick("Timer3");
  EXPECT_EQ(s.tbase1, 40.0f);
  EXPECT_EQ(s.tbase2, 0.0f);
}

TEST(ChartScales, HorizontalBarAgainstCountAndCapacity) {
  RecorderHarness h;
  RecorderState& s = h.state();
  Control& bar = h.window()["nhs1"];
  // A recording shorter than the view leaves the bar immobile.
  fill(s, 100);
  s.shown_count = s.rec_next;
  s.view_start = 7;
  h.recorder.procedures().nhs1_set();
  EXPECT_EQ(bar.minimum, 32767);
  EXPECT_EQ(bar.maximum, 32767);
  EXPECT_EQ(bar.value, 32767);
  EXPECT_EQ(s.view_start, 1.0f);
  // Longer than the view: position and steps against the count.
  fill(s, 900);  // rec_next 1001
  s.shown_count = s.rec_next;
  s.view_start = 501;
  h.recorder.procedures().nhs1_set();
  EXPECT_EQ(bar.minimum, 0);
  EXPECT_EQ(bar.value, 16400);  // 501 * 32767 / 1001 = 16400.07
  EXPECT_EQ(bar.large_change, 13094);
  EXPECT_EQ(bar.small_change, 1309);
  // A view left beyond the data (after a delete) is brought back and the position stays in range.
  s.view_start = 90000;
  h.recorder.procedures().nhs1_set();
  EXPECT_EQ(s.view_start, s.shown_count);
  EXPECT_EQ(bar.value, 32767);
  // Against the capacity, with at least one unit per step.
  s.view_start = 50000;
  s.view_width = 40;
  h.recorder.procedures().nhs1_setb();
  EXPECT_EQ(bar.value, 16384);  // 50000 * 32767 / 100000 = 16383.5, half to even
  EXPECT_EQ(bar.large_change, 13);
  EXPECT_EQ(bar.small_change, 1);
  // A wide view: the small step is a tenth of the view against the capacity.
  s.view_width = 40000;
  h.recorder.procedures().nhs1_setb();
  EXPECT_EQ(bar.large_change, 13107);  // 40000 * 32767 / 100000 = 13106.8
  EXPECT_EQ(bar.small_change, 1311);   // 4000 * 32767 / 100000 = 1310.68
}

TEST(ChartScales, ResetpAndScrollingFollowTheRunState) {
  RecorderHarness h;
  RecorderState& s = h.state();
  h.connect();
  h.recorder.press("crec");
  fill(s, 1000);  // rec_next 1001
  h.recorder.procedures().resetp();
  EXPECT_EQ(s.view_start, 641.0f);
  EXPECT_EQ(s.shown_count, 1001.0f);
  // In live follow mode moving the bar posts nothing.
  h.window().scroll("nhs1", 100);
  EXPECT_EQ(s.hs_request, 0);
  h.recorder.press("cre");  // examine: static
  const float before = s.view_start;
  h.recorder.procedures().resetp();
  EXPECT_EQ(s.view_start, before);
  // Far right in a static chart: the view starts at the newest sample and shows no trace.
  h.window().scroll("nhs1", 32767);
  EXPECT_EQ(s.hs_request, 1);
  h.recorder.tick("Timer3");
  EXPECT_EQ(s.hs_request, 0);
  EXPECT_EQ(s.view_start, s.shown_count);
  EXPECT_TRUE(h.window()["nhs1"].enabled);
  EXPECT_TRUE(h.chart_surface.polylines.empty());
  EXPECT_EQ(h.window_layer.texts.size(), 17u);  // labels still there
}

// Stop and examine set the bar against the recorded count; the capacity it followed while
// recording would send a later scroll far from where the user points.
TEST(ChartScales, StopAndExamineSetTheBarAgainstTheRecordedCount) {
  for (const char* command : {"crec", "cre"}) {
    RecorderHarness h;
    RecorderState& s = h.state();
    Control& bar = h.window()["nhs1"];
    h.connect();
    h.recorder.press("crec");
    EXPECT_EQ(bar.large_change, 131) << command;  // 400 of the 100000-sample memory
    fill(s, 1000);
    h.recorder.procedures().resetp();  // view 641 .. 1040 of 1001 samples
    h.recorder.press(command);
    EXPECT_EQ(bar.minimum, 0) << command;
    EXPECT_EQ(bar.maximum, 32767) << command;
    EXPECT_EQ(bar.value, 20983) << command;  // 641 * 32767 / 1001 = 20982.7
    EXPECT_EQ(bar.large_change, 13094) << command;
    EXPECT_EQ(bar.small_change, 1309) << command;
  }
}

// While examining, samples keep arriving; the bar scrolls over what the chart shows.
TEST(ChartScales, ScrollingWhileExaminingCoversTheShownSamplesOnly) {
  RecorderHarness h;
  RecorderState& s = h.state();
  h.connect();
  h.recorder.press("crec");
  fill(s, 1000);
  h.recorder.procedures().resetp();
  h.recorder.press("cre");
  for (int n = 0; n < 50; ++n) h.recorder.tick("Timer1");
  ASSERT_EQ(s.rec_next, 1051.0f);
  h.window().scroll("nhs1", 16384);
  h.recorder.tick("Timer3");
  EXPECT_NEAR(s.view_start, 500.515, 0.001);  // 16384 * 1001 / 32767, not of 1051
}

// A time division while the chart follows the recording: the bar takes the view it had, then the
// view jumps to the newest samples.
TEST(ChartScales, TimeDivisionWhileFollowingSetsTheBarBeforeTheView) {
  RecorderHarness h;
  RecorderState& s = h.state();
  Control& bar = h.window()["nhs1"];
  h.connect();
  h.recorder.press("crec");
  fill(s, 1000);
  h.recorder.procedures().resetp();  // view_start 641
  h.recorder.press("pt1s");           // 40 samples wide
  EXPECT_EQ(bar.value, 210);          // 641 * 32767 / 100000 = 210.04
  EXPECT_EQ(bar.large_change, 13);    // 40 * 32767 / 100000
  EXPECT_EQ(bar.small_change, 1);
  EXPECT_EQ(s.view_start, 965.0f);    // 1001 - 0.9 * 40
}

}  // namespace
}  // namespace zetra::chart
