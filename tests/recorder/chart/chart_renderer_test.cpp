// Drawing through a recording surface: grid dots, ticks, labels, traces, the pen memory, the
// live plotter's page advance and the scrollbar that follows it.
#include <gtest/gtest.h>

#include <algorithm>

#include "recorder/chart/chart.h"
#include "recorder/chart/window_layout.h"
#include "recorder/numbers/number_format.h"
#include "tests/support/recorder_harness.h"

namespace zetra::chart {
namespace {

using testing::FakeSurface;
using testing::RecorderHarness;

const std::string kDeg = std::string(numbers::kDegreeSign);

std::vector<std::string> texts(const FakeSurface& s) {
  std::vector<std::string> out;
  for (const auto& t : s.texts) out.push_back(t.text);
  return out;
}

TEST(ChartRenderer, GridDotsTicksAndLabels) {
  RecorderHarness h;
  h.recorder.procedures().r_line();
  const FakeSurface& chart = h.chart_surface;
  // dx = 20 samples, dy = 200 units: 21 x 11 crossings, interior lines dotted every quarter.
  EXPECT_EQ(chart.points_of_width(2), 21 * 11);
  EXPECT_EQ(chart.points_of_width(1), 19 * 41 + 9 * 81);
  EXPECT_TRUE(std::any_of(chart.points.begin(), chart.points.end(),
                          [](const auto& p) { return p.x == 5 && p.y == 200; }));
  EXPECT_EQ(chart.pen, 1);                 // the trace width is restored
  EXPECT_EQ(chart.fore, 16711680u);        // grid leaves the CH1 colour as foreground
  EXPECT_EQ(chart.top, 2000.0f);
  EXPECT_EQ(chart.height, -2000.0f);
  EXPECT_EQ(chart.width, 400.0f);

  const FakeSurface& layer = h.window_layer;
  ASSERT_EQ(layer.lines.size(), 8u);  // five ticks below, three to the right
  const platform::TwipsRect c = chart.placement;
  EXPECT_FLOAT_EQ(layer.lines[4].x1, c.left + c.width);
  EXPECT_FLOAT_EQ(layer.lines[4].y2, c.top + c.height + 100);
  EXPECT_EQ(layer.lines[0].width, 2);
  const std::vector<std::string> expected = {
      "0s/0.0m", "50s/0.8m", "100s/1.7m", "150s/2.5m", "200s/3.3m",
      "1800", "800", "-200",                          // CH1 value
      "100" + kDeg + "C", "50" + kDeg + "C", "0" + kDeg + "C",  // CH1 temperature
      "4500", "2000", "-500",  // CH2 value: nvs12 starts at -10 like nvs1
      "100" + kDeg + "C", "50" + kDeg + "C", "0" + kDeg + "C"};
  EXPECT_EQ(texts(layer), expected);
  EXPECT_EQ(layer.texts[5].colour, 16711680u);
  EXPECT_EQ(layer.texts[8].colour, 255u);
  EXPECT_EQ(layer.texts[11].colour, 65280u);
  EXPECT_EQ(layer.texts[14].colour, 16711935u);
  EXPECT_FLOAT_EQ(layer.texts[5].y, c.top - 100);
  EXPECT_FLOAT_EQ(layer.texts[0].y, c.top + c.height + 190);
  EXPECT_EQ(layer.fore, 0u);
}

// Every tick and label of the graduation around a chart laid out in a 12000 x 9000 twip window
// (chart at left 0, top 2160, 10000 wide, 5000 high), with unequal temperature scales.
TEST(ChartRenderer, GraduationPositionsAroundTheLaidOutChart) {
  RecorderHarness h;
  h.chart_surface.placement = lay_out_window(12000, 9000, false).chart;
  h.recorder.press("pt5");    // T1 5 deg C per division
  h.recorder.press("pt202");  // T2 20 deg C per division
  const FakeSurface& layer = h.window_layer;
  ASSERT_EQ(layer.lines.size(), 8u);
  const float ticks[8][4] = {{30, 7160, 30, 7260},     {2530, 7160, 2530, 7260},
                             {5010, 7160, 5010, 7260}, {7500, 7160, 7500, 7260},
                             {10000, 7160, 10000, 7260}, {10000, 2185, 10100, 2185},
                             {10000, 4660, 10100, 4660}, {10000, 7160, 10100, 7160}};
  for (size_t i = 0; i < 8; ++i) {
    const auto& l = layer.lines[i];
    EXPECT_FLOAT_EQ(l.x1, ticks[i][0]) << "tick " << i;
    EXPECT_FLOAT_EQ(l.y1, ticks[i][1]) << "tick " << i;
    EXPECT_FLOAT_EQ(l.x2, ticks[i][2]) << "tick " << i;
    EXPECT_FLOAT_EQ(l.y2, ticks[i][3]) << "tick " << i;
  }
  struct Label {
    float x, y;
    std::string text;
  };
  const std::vector<Label> labels = {
      {0, 7350, "0s/0.0m"},        {2200, 7350, "50s/0.8m"},     {4700, 7350, "100s/1.7m"},
      {7200, 7350, "150s/2.5m"},   {9700, 7350, "200s/3.3m"},    {10170, 2060, "1800"},
      {10170, 4260, "800"},        {10170, 6460, "-200"},        {10170, 2260, "50" + kDeg + "C"},
      {10170, 4460, "25" + kDeg + "C"}, {10170, 6660, "0" + kDeg + "C"}, {10170, 2460, "4500"},
      {10170, 4660, "2000"},       {10170, 6860, "-500"},        {10170, 2660, "200" + kDeg + "C"},
      {10170, 4860, "100" + kDeg + "C"}, {10170, 7060, "0" + kDeg + "C"}};
  ASSERT_EQ(layer.texts.size(), labels.size());
  for (size_t i = 0; i < labels.size(); ++i) {
    EXPECT_FLOAT_EQ(layer.texts[i].x, labels[i].x) << labels[i].text;
    EXPECT_FLOAT_EQ(layer.texts[i].y, labels[i].y) << labels[i].text;
    EXPECT_EQ(layer.texts[i].text, labels[i].text);
  }
}

// A view of 10 samples or fewer, as a damaged settings file can leave it, rounds a division to
// no width at all (half a sample rounds to even, 0) and draws no grid.
TEST(ChartRenderer, ANarrowViewDrawsNoGrid) {
  RecorderHarness h;
  h.state().view_width = 10;
  h.recorder.procedures().r_line();
  EXPECT_TRUE(h.chart_surface.points.empty());
  h.state().view_width = 20;  // one sample per division
  h.recorder.procedures().r_line();
  EXPECT_EQ(h.chart_surface.points_of_width(2), 21 * 11);
}

// T1 at 5 and T2 at 20 deg C per division: 2000 chart units over 50 and over 200 deg C.
TEST(ChartRenderer, EachTemperatureTraceUsesItsOwnScale) {
  RecorderHarness h;
  RecorderState& s = h.state();
  for (int i = 0; i < 10; ++i) s.append(0, 0, 30, 40);
  s.shown_count = s.rec_next;
  h.recorder.press("pt5");
  h.recorder.press("pt202");
  const FakeSurface& chart = h.chart_surface;
  ASSERT_EQ(chart.polylines.size(), 4u);
  EXPECT_EQ(chart.polylines[2].ys[0], 1200.0f);  // 30 deg C x 40
  EXPECT_EQ(chart.polylines[3].ys[0], 400.0f);   // 40 deg C x 10
}

// A recording longer than the view is drawn up to the right edge and no further.
TEST(ChartRenderer, RedrawStopsAtTheRightEdge) {
  RecorderHarness h;
  RecorderState& s = h.state();
  for (int i = 1; i <= 1000; ++i) s.append(static_cast<float>(i), 0, 0, 0);
  s.shown_count = s.rec_next;
  s.view_start = 1;
  h.recorder.procedures().r_line();
  ASSERT_EQ(h.chart_surface.polylines.size(), 4u);
  EXPECT_EQ(h.chart_surface.polylines[0].ys.size(), 400u);
  EXPECT_EQ(h.chart_surface.polylines[0].ys.back(), 200 + 401.0f);  // x 400: sample 401
  EXPECT_EQ(s.pen_x, 400.0f);
}

TEST(ChartRenderer, TracesFollowTheMappingAndThePenMemory) {
  RecorderHarness h;
  RecorderState& s = h.state();
  for (int i = 1; i <= 500; ++i) s.append(10.0f * i, 20, 30, 40 + i);
  s.shown_count = s.rec_next;  // 501
  s.view_start = 101;
  h.recorder.procedures().r_line();
  const FakeSurface& chart = h.chart_surface;
  ASSERT_EQ(chart.polylines.size(), 4u);
  const auto& ch1 = chart.polylines[0];
  EXPECT_EQ(ch1.first_x, 1.0f);
  ASSERT_EQ(ch1.ys.size(), 399u);  // x = 1 .. 399: index 102 .. 500
  EXPECT_EQ(ch1.ys[0], 200 + 1020.0f);
  EXPECT_EQ(ch1.colour, 16711680u);
  EXPECT_EQ(chart.polylines[1].ys[0], (500 + 20) * 2000.0f / 5000);  // CH2 zero one division up
  EXPECT_EQ(chart.polylines[2].ys[0], 30 * 20.0f);
  EXPECT_EQ(chart.polylines[3].colour, 16711935u);
  EXPECT_EQ(s.pen_x, 399.0f);
  EXPECT_EQ(s.last_v1, 200 + 5000.0f);
  EXPECT_EQ(s.last_t2, 540 * 20.0f);
  // nM, compensation and the temperature lines switched off.
  h.recorder.press("psnm");
  EXPECT_EQ(chart.polylines[1].ys[0], (500 + 20 / 2.0f) * 0.4f);
  h.recorder.press("ptloff");
  EXPECT_EQ(chart.polylines.size(), 2u);
  EXPECT_EQ(s.last_t1, 600.0f);  // temperature y is kept even when not drawn
  // A redraw drops the selection.
  s.sel_start = 5;
  s.sel_end = 9;
  h.recorder.procedures().r_line();
  EXPECT_EQ(s.sel_start, 0.0f);
  EXPECT_EQ(s.sel_end, 0.0f);
}

// On a first start (no settings file) a CH2 value is drawn at the height where the CH2 labels
// read that value, as CH1's is.
TEST(ChartRenderer, FirstStartCh2TraceAgreesWithItsLabels) {
  RecorderHarness h;
  RecorderState& s = h.state();
  for (int i = 1; i <= 10; ++i) s.append(1508, 1508, 20, 20);
  s.shown_count = s.rec_next;
  h.recorder.procedures().r_line();
  const FakeSurface& layer = h.window_layer;
  ASSERT_EQ(layer.texts.size(), 17u);
  // Bottom and top labels of each value trace, read back as numbers.
  const auto label = [&](int i) { return std::stof(layer.texts[i].text); };
  const auto label_height = [&](int top, int bottom, float value) {
    return (value - label(bottom)) / (label(top) - label(bottom)) * s.span1;
  };
  const FakeSurface& chart = h.chart_surface;
  ASSERT_EQ(chart.polylines.size(), 4u);
  EXPECT_FLOAT_EQ(chart.polylines[0].ys[0], label_height(5, 7, 1508));
  EXPECT_FLOAT_EQ(chart.polylines[1].ys[0], label_height(11, 13, 1508));
}

// The legend names the traces with their colours and present units, and follows changes of both.
TEST(ChartRenderer, LegendFollowsUnitsColoursAndTemperatureLines) {
  RecorderHarness h;
  h.recorder.procedures().r_line();
  const FakeSurface& chart = h.chart_surface;
  ASSERT_EQ(texts(chart), (std::vector<std::string>{"CH1 pA", "CH2 pA", "CH1 " + kDeg + "C",
                                                     "CH2 " + kDeg + "C"}));
  EXPECT_EQ(chart.texts[0].colour, 16711680u);
  EXPECT_EQ(chart.texts[3].colour, 16711935u);
  EXPECT_GT(chart.texts[0].y, 1900.0f);  // along the top edge, inside the frame
  EXPECT_LE(chart.texts[0].y, 2000.0f);
  EXPECT_EQ(chart.fore, 16711680u);  // the CH1 pen colour is left as it was
  h.dialogs.colour_answers = {0x123456};
  h.recorder.press("pcdcolor2");
  h.recorder.press("psnm");
  EXPECT_EQ(chart.texts[1].text, "CH2 nM");
  EXPECT_EQ(chart.texts[1].colour, 0x123456u);
  h.recorder.press("ptloff");
  EXPECT_EQ(texts(chart), (std::vector<std::string>{"CH1 nM", "CH2 nM"}));
}

TEST(ChartRenderer, DefaultColoursWithTheGridOffDrawCh1InBlack) {
  RecorderHarness h;
  RecorderState& s = h.state();
  for (int i = 0; i < 50; ++i) s.append(1, 2, 3, 4);
  s.shown_count = s.rec_next;
  h.recorder.press("pgoff");
  h.recorder.press("psdcolor");
  EXPECT_TRUE(h.chart_surface.points.empty());
  EXPECT_EQ(h.chart_surface.polylines[0].colour, 0u);
  h.dialogs.colour_answers.push_back(0x123456);
  h.recorder.press("pcdcolor");
  EXPECT_EQ(s.color_cur1, static_cast<float>(0x123456));
  EXPECT_EQ(h.chart_surface.polylines[0].colour, 0x123456u);
  // A cancelled dialog changes nothing and draws nothing.
  const int clears = h.chart_surface.clears;
  h.recorder.press("pcolor");
  EXPECT_EQ(s.color_back, 12648447.0f);
  EXPECT_EQ(h.chart_surface.clears, clears);
  h.dialogs.colour_answers.push_back(0xC0C0C0);
  h.recorder.press("pcolor");
  EXPECT_EQ(h.chart_surface.back, 0xC0C0C0u);
  h.recorder.press("pl3");
  EXPECT_EQ(h.chart_surface.polylines[0].width, 3);
  h.recorder.press("pgon");
  EXPECT_EQ(h.chart_surface.polylines[0].colour, 0x123456u);
  EXPECT_EQ(h.chart_surface.points_of_width(1), 19 * 41 + 9 * 81);  // grid stays dotted
}

TEST(ChartRenderer, LivePlotterAdvancesAPageAndTheBarFollows) {
  RecorderHarness h;
  RecorderState& s = h.state();
  h.connect();
  h.recorder.press("crec");
  h.recorder.tick("Timer2");  // nothing stored: nothing drawn
  EXPECT_TRUE(h.chart_surface.lines.empty());
  for (int i = 1; i <= 3; ++i) s.append(i, i, 20, 20);
  h.recorder.tick("Timer2");
  // x = 1 (index 2) only stores the first point; x = 2 (index 3) draws one segment per trace.
  EXPECT_EQ(h.chart_surface.lines.size(), 4u);
  EXPECT_EQ(h.chart_surface.lines[0].x1, 1.0f);
  EXPECT_EQ(h.chart_surface.lines[0].x2, 2.0f);
  EXPECT_EQ(s.pen_x, 3.0f);
  EXPECT_EQ(h.chart_surface.lines[0].y2, 200 + 3.0f);
  h.recorder.tick("Timer2");
  EXPECT_EQ(h.chart_surface.lines.size(), 4u);
  // 400 samples: the pen reaches x 400, the right edge, and the page advances at once.
  for (int i = 4; i <= 400; ++i) s.append(i, i, 20, 20);
  h.recorder.tick("Timer2");
  EXPECT_EQ(s.view_start, 41.0f);  // one page advance of a tenth of the width
  // The new page shows samples 42 .. 400 from x 1, up to the newest and not beyond it.
  ASSERT_EQ(h.chart_surface.polylines.size(), 4u);
  EXPECT_EQ(h.chart_surface.polylines[0].ys.size(), 359u);
  EXPECT_EQ(h.chart_surface.polylines[0].ys.back(), 200 + 400.0f);
  EXPECT_EQ(s.pen_x, 360.0f);
  for (int i = 401; i <= 420; ++i) s.append(i, i, 20, 20);
  h.recorder.tick("Timer2");
  EXPECT_EQ(s.view_start, 41.0f);
  EXPECT_EQ(h.window()["nhs1"].value, 13);  // 41 * 32767 / 100000 = 13.4
  EXPECT_EQ(s.hs_busy, 0);
  ASSERT_EQ(h.chart_surface.polylines.size(), 4u);
  EXPECT_EQ(h.window_layer.texts[1].text, "70s/1.2m");  // (41 - 1 + 100) / 2 s
  EXPECT_LT(s.pen_x, s.view_width);
  // Examine mode: samples keep arriving while the chart stands still.
  h.recorder.press("cre");
  EXPECT_FALSE(h.window()["Timer2"].enabled);
  const float start = s.view_start;
  h.recorder.tick("Timer1");
  h.recorder.tick("Timer1");
  EXPECT_EQ(s.rec_next, 423.0f);
  EXPECT_EQ(s.view_start, start);
}

TEST(ChartRenderer, ClearingEmptiesRecordingAndChart) {
  RecorderHarness h;
  RecorderState& s = h.state();
  for (int i = 0; i < 30; ++i) s.append(1, 2, 3, 4);
  s.shown_count = s.rec_next;
  s.view_start = 5;
  h.window()["nt1"].caption = "my notes";
  h.recorder.procedures().clsp1();
  EXPECT_EQ(s.rec_next, 1.0f);
  EXPECT_EQ(s.shown_count, 1.0f);
  EXPECT_EQ(s.view_start, 1.0f);
  EXPECT_EQ(h.window()["nt1"].caption, "Notes:");
  EXPECT_TRUE(h.chart_surface.polylines.empty());
  EXPECT_EQ(h.chart_surface.points_of_width(2), 231);
  EXPECT_EQ(h.chart_surface.text_x, 0.0f);
}

// Samples the unit did not deliver are shaded over the chart's height, a sample's width each,
// within the view: by the full redraw per stretch, by the live plotter column by column.
TEST(ChartRenderer, HeldStretchesAreShadedWhereTheirSamplesAreDrawn) {
  RecorderHarness h;
  RecorderState& s = h.state();
  for (int i = 1; i <= 600; ++i) s.append(i, i, 20, 20);
  s.shown_count = s.rec_next;
  ASSERT_TRUE(s.held.append({10, 19, -1, -1}));
  ASSERT_TRUE(s.held.append({390, 450, -1, -1}));  // runs out of the view
  ASSERT_TRUE(s.held.append({590, 595, -1, -1}));  // beyond it
  h.recorder.procedures().r_line();
  const auto& rects = h.chart_surface.rects;
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_EQ(rects[0].x1, 8.5f);
  EXPECT_EQ(rects[0].x2, 18.5f);
  EXPECT_EQ(rects[0].y1, 0.0f);
  EXPECT_EQ(rects[0].y2, 2000.0f);
  EXPECT_EQ(rects[0].colour, kHeldShade);
  EXPECT_EQ(rects[1].x1, 388.5f);
  EXPECT_EQ(rects[1].x2, 400.0f);

  s.view_start = 200;  // scrolled: the first stretch is out of sight, the third comes in
  h.recorder.procedures().r_line();
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_EQ(rects[0].x1, 189.5f);
  EXPECT_EQ(rects[1].x1, 389.5f);
  EXPECT_EQ(rects[1].x2, 395.5f);

  // The live plotter draws a tick that brings held samples whole, their shade behind the rest.
  s.clear();
  s.view_start = s.pen_x = 1;
  h.chart_surface.forget();
  for (int i = 1; i <= 30; ++i) s.append(i, i, 20, 20);
  h.recorder.tick("Timer2");
  EXPECT_TRUE(rects.empty());
  EXPECT_EQ(h.chart_surface.clears, 0);
  for (int i = 31; i <= 40; ++i) s.append(i, i, 20, 20);
  s.held.hold(32, 0);
  s.held.hold(33, 0);
  h.recorder.tick("Timer2");
  EXPECT_EQ(h.chart_surface.clears, 1);
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0].x1, 30.5f);
  EXPECT_EQ(rects[0].x2, 32.5f);
  EXPECT_EQ(s.pen_x, 39.0f) << "the plotter goes on where the redraw ended";
}

}  // namespace
}  // namespace zetra::chart
