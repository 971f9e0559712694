// The mouse on the chart: acceptance, the selection lines, hover and drag readouts on the status
// line, the Calculate menu's modes and the integral base-line boxes.
#include "recorder/analysis/chart_selection.h"

#include <gtest/gtest.h>

#include "tests/recorder/analysis/analysis_fixture.h"

namespace zetra::analysis {
namespace {

using testing::AnalysisFixture;

struct SelectionFixture : AnalysisFixture {
  SelectionFixture() {
    selection.bind();
    record(100, [](int k) {
      const auto v = static_cast<float>(k);
      return std::array<float, 4>{v, 2 * v, 25.0f, 26.0f};
    });
  }
  void press(float x) { window.mouse_down({1, 0, x, 0}); }
  void move(float x, int button = 1) { window.mouse_move({button, 0, x, 0}); }
  void release(float x) { window.mouse_up({1, 0, x, 0}); }
  std::string status() { return window["st1"].caption; }

  ChartSelection selection{context, &chart};
};

constexpr const char* kPrefix = "DIV: 10s_200_500_10\u00B0C_10\u00B0C";

TEST(ChartMouse, IsIgnoredWhileTheChartFollowsARecording) {
  SelectionFixture f;
  f.window["crec"].caption = "Stop";
  f.press(10);
  f.move(20, 0);
  f.move(30);
  f.release(30);
  EXPECT_TRUE(f.chart.lines.empty());
  EXPECT_EQ(f.state.mouse_down, 0.0f);
  EXPECT_EQ(f.state.sel_start, 0.0f);
  EXPECT_EQ(f.status(), "");
  f.window["cre"].caption = "norm";  // exam mode: the mouse works again
  f.press(10);
  EXPECT_EQ(f.state.mouse_down, 1.0f);
}

TEST(ChartMouse, PressAndReleaseLeaveTwoDottedLinesAndANewPressRemovesThem) {
  SelectionFixture f;
  f.move(0.4f, 0);  // hover first: the status line shows the value readout
  const std::string hover = f.status();
  EXPECT_EQ(hover.substr(0, std::string(kPrefix).size() + 18),
            std::string(kPrefix) + "          Value:  ");
  f.press(100);
  EXPECT_EQ(f.chart.line_style(), platform::LineStyle::Dotted);
  EXPECT_EQ(f.chart.draw_mode(), platform::DrawMode::Invert);
  f.release(100);
  EXPECT_EQ(f.chart.visible_inverted_lines(), (std::vector<float>{100.0f, 100.8f}));
  EXPECT_EQ(f.state.sel_end, 100.8f);
  EXPECT_EQ(f.status(), hover);  // nothing measured without a move
  for (const testing::DrawnLine& line : f.chart.lines) {
    EXPECT_EQ(line.style, platform::LineStyle::Dotted);
    EXPECT_EQ(line.x1, line.x2);
    EXPECT_EQ(line.y1, 2000.0f);  // from the top through the whole visible height
    EXPECT_EQ(line.y2, -2000.0f);
  }
  EXPECT_EQ(f.chart.line_style(), platform::LineStyle::Solid);
  EXPECT_EQ(f.chart.draw_mode(), platform::DrawMode::Copy);
  f.press(50);
  EXPECT_EQ(f.chart.visible_inverted_lines(), (std::vector<float>{50.0f, 50.8f}));
  // After a redraw both edges are 0: the two inversions at 0 cancel.
  f.release(50);
  f.chart.lines.clear();
  f.state.sel_start = f.state.sel_end = 0;
  f.press(60);
  EXPECT_EQ(f.chart.visible_inverted_lines(), (std::vector<float>{60.0f, 60.8f}));
  // The second edge in single precision: 0.1 + 0.8 is 0.90000004 in floats (0.89999998 in double).
  f.release(60);
  f.press(0.1f);
  EXPECT_EQ(f.state.sel_end, 0.90000004f);
}

TEST(ChartMouse, DragMeasuresInsideTheRecordingOnly) {
  SelectionFixture f;
  f.window.run("psample");
  f.press(30);
  f.move(20);  // leftwards
  EXPECT_EQ(f.state.sel_end, 20.0f);
  EXPECT_EQ(f.status(), std::string(kPrefix) + "          Samples:  10");
  EXPECT_EQ(f.chart.visible_inverted_lines(), (std::vector<float>{20.0f, 30.0f}));
  f.move(150);  // beyond the recording: the line moves, the status line stays
  EXPECT_EQ(f.chart.visible_inverted_lines(), (std::vector<float>{30.0f, 150.0f}));
  EXPECT_EQ(f.status(), std::string(kPrefix) + "          Samples:  10");
  f.move(-5);  // left of the chart while the button is held
  EXPECT_EQ(f.status(), std::string(kPrefix) + "          Samples:  10");
  f.window.run("paver");
  EXPECT_TRUE(f.window["paver"].checked);
  EXPECT_FALSE(f.window["psample"].checked);
  f.move(30.5f);  // width 0.5: the average keeps the previous readout
  EXPECT_EQ(f.status(), std::string(kPrefix) + "          Samples:  10");
  f.move(35);
  EXPECT_EQ(f.status().substr(std::string(kPrefix).size(), 30), "          Average:  33.0 pA   ");
  f.release(35);
  f.move(200, 0);  // hover right of the data leaves the status line
  EXPECT_EQ(f.status().substr(std::string(kPrefix).size(), 20), "          Average:  ");
}

TEST(IntegralSetup, EachBoxSetsItsChannelsBaseLine) {
  SelectionFixture f;
  f.dialogs.input_answers = {"12.5 pA", "", "abc"};
  f.window.run("pintset");
  EXPECT_EQ(f.state.int_base1, 12.5f);
  ASSERT_EQ(f.dialogs.inputs.size(), 1u);
  EXPECT_EQ(f.dialogs.inputs[0].title, "Integral setup");
  EXPECT_EQ(f.dialogs.inputs[0].prompt, "Input integral base line value: ");
  EXPECT_EQ(f.dialogs.inputs[0].default_text, "0");
  f.window.run("pintset");  // empty answer: unchanged
  EXPECT_EQ(f.state.int_base1, 12.5f);
  EXPECT_EQ(f.dialogs.inputs[1].default_text, "12.5");
  f.state.int_base2 = 4;
  f.window.run("pintset2");
  EXPECT_EQ(f.state.int_base2, 0.0f);
  EXPECT_EQ(f.state.int_base1, 12.5f);
}

}  // namespace
}  // namespace zetra::analysis
