// The real main window offscreen, on the stand-in base unit: connect, record with a marker,
// examine, back to normal, stop; the chart, its labels and the readouts as a user sees them.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <cstdio>
#include <fstream>

#include "platform/qt/qt_surface.h"
#include "recorder/app/recorder.h"
#include "recorder/chart/chart.h"
#include "recorder/ui/qt/chart_widget.h"
#include "recorder/ui/qt/main_window.h"
#include "standins/base_unit/base_unit_library.h"
#include "standins/serial_line/fake_serial_port.h"
#include "standins/meter/scripted_meter.h"
#include "tests/support/counting_pause.h"
#include "tests/support/memory_clipboard.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/stand_in_window_test.h"

namespace zetra::ui {
namespace {

int count_colour(const QImage& image, QRgb colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour ? 1 : 0;
  }
  return n;
}

class ChartWindowTest : public testing::StandInWindowTest {
 protected:
  ChartWindowTest() : StandInWindowTest(1100, 760) {}

  std::string text(const char* label) { return find<QLabel>(label)->text().toStdString(); }
  void save(const char* file) {
    const QString path = QStringLiteral(SCREENSHOT_DIR "/") + file;
    ASSERT_TRUE(window->grab().save(path));
    std::printf("screenshot: %s\n", qPrintable(path));
  }
};

TEST_F(ChartWindowTest, RecordMarkExamineAndStop) {
  RecorderState& s = recorder.state();
  find<QAction>("pusb1")->trigger();
  click("conoff");
  ASSERT_EQ(find<QPushButton>("conoff")->text(), "Off");
  click("crec");
  for (int n = 1; n <= 470; ++n) {
    tick("Timer1");
    if (n == 300) click("cmarker");
    if (n % 4 == 0) tick("Timer2");
    if (n % 7 == 0) tick("Timer3");
  }
  tick("Timer2");
  EXPECT_EQ(s.rec_next, 471.0f);
  EXPECT_GT(s.view_start, 1.0f);  // the pen reached the right edge: a page advance
  EXPECT_EQ(find<QScrollBar>("nhs1")->value(), recorder.window()["nhs1"].value);
  EXPECT_GT(recorder.window()["nhs1"].value, 0);  // the bar followed the page advance
  EXPECT_NE(text("t2").find(" pA"), std::string::npos);
  EXPECT_NE(text("t1").find(" nM"), std::string::npos);
  EXPECT_NE(text("t4").find("\u00B0C"), std::string::npos);
  const QImage chart = chart_surface.image();
  EXPECT_EQ(chart.size(), find<QWidget>("p1")->size());
  EXPECT_GT(count_colour(chart, qRgb(0, 0, 255)), 200);   // CH1
  EXPECT_GT(count_colour(chart, qRgb(0, 255, 0)), 200);   // CH2
  EXPECT_GT(count_colour(chart, qRgb(255, 0, 0)), 100);   // CH1 temperature
  save("chart_recording.png");

  click("cre");  // examine: samples go on, the chart stands still
  const float start = s.view_start;
  for (int n = 0; n < 20; ++n) tick("Timer1");
  tick("Timer2");
  EXPECT_EQ(s.view_start, start);
  EXPECT_EQ(s.rec_next, 491.0f);
  click("cre");  // back to normal: the chart jumps to the newest samples
  EXPECT_FLOAT_EQ(s.view_start, 491.0f - 0.9f * 400.0f);
  click("crec");
  EXPECT_EQ(find<QPushButton>("crec")->text(), "Rec");
  find<QAction>("psnm")->trigger();
  tick("Timer3");
  EXPECT_NE(text("t2").find(" nM"), std::string::npos);
  save("chart_stopped_nm.png");
}

TEST_F(ChartWindowTest, HelpOpensTheShippedDocument) {
  std::ofstream(folder.filePath("zetrat.html").toStdString()) << "<h1>ZetraII help</h1>";
  find<QAction>("pcont")->trigger();
  auto* help = window->findChild<QTextBrowser*>("help");
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_TRUE(help->isWindow());  // a window of its own, not drawn over the chart
  EXPECT_EQ(help->windowTitle(), "ZetraII Help");
  EXPECT_TRUE(help->toPlainText().contains("ZetraII help"));
}

// Moving the pointer over a recording shows its value in the status line at once.
TEST_F(ChartWindowTest, HoveringShowsTheValueReadoutAtOnce) {
  RecorderState& s = recorder.state();
  for (int i = 0; i < 100; ++i) s.append(5, 6, 25, 25);
  s.shown_count = s.rec_next;
  auto* chart = window->findChild<ChartWidget*>();
  ASSERT_NE(chart, nullptr);
  const std::string before = text("st1_text");
  emit chart->moved(QPointF(20, 20), false);
  const std::string after = text("st1_text");
  EXPECT_EQ(before.find("Value:"), std::string::npos) << before;
  EXPECT_NE(after.find("Value:"), std::string::npos) << after;
}

// A chart squeezed to a single pixel still maps the pointer across the whole view: halfway
// along that pixel is halfway through the 400 samples shown.
TEST_F(ChartWindowTest, HoveringAOnePixelChartReadsTheMiddleOfTheView) {
  RecorderState& s = recorder.state();
  for (int i = 0; i < 500; ++i) s.append(5, 6, 25, 25);
  s.shown_count = s.rec_next;
  s.sample_interval = 2.0f;
  ASSERT_EQ(s.view_start, 1.0f);
  auto* chart = window->findChild<ChartWidget*>();
  ASSERT_NE(chart, nullptr);
  chart->resize(1, 1);
  ASSERT_EQ(chart->width(), 1);
  emit chart->moved(QPointF(0.5, 0.5), false);
  const std::string readout = text("st1_text");
  EXPECT_NE(readout.find("Time:  402s"), std::string::npos) << readout;  // (1 + 200) * 2 s
}

}  // namespace
}  // namespace zetra::ui
