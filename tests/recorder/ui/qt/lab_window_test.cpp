// The real window offscreen on the stand-in unit, as a lab user meets it: readouts whole at the
// screen's DPI, Enter in the calibration boxes, wheel and keys on the chart, channel titles in
// their trace colours, and a name and description for assistive tools on every control.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include "recorder/ui/qt/chart_widget.h"
#include "recorder/window/status_field.h"
#include "tests/support/stand_in_window_test.h"

namespace zetra::ui {
namespace {

class LabWindowTest : public testing::StandInWindowTest {
 protected:
  LabWindowTest() : StandInWindowTest(1000, 720) {}

  void wheel(QWidget* target, int degrees_eighths, Qt::KeyboardModifiers mods) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, degrees_eighths),
                      Qt::NoButton, mods, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
  }
};

// Every readout keeps the whole height of its font inside its panel: nothing of "pA" is cut.
TEST_F(LabWindowTest, ReadoutsKeepTheirFontsWholeHeight) {
  for (const char* name : {"t2", "t1", "t4", "t22", "t12", "t42", "tch", "tch2"}) {
    auto* label = find<QLabel>(name);
    ASSERT_NE(label, nullptr);
    const QFontMetrics metrics(label->font());
    EXPECT_GE(label->height(), metrics.height()) << name << " at " << label->logicalDpiY();
    auto* panel = qobject_cast<QFrame*>(label->parentWidget());
    ASSERT_NE(panel, nullptr) << name;
    EXPECT_TRUE(panel->contentsRect().contains(label->geometry())) << name;
  }
  for (const char* name : {"czero", "ccal2"}) {
    auto* button = find<QPushButton>(name);
    EXPECT_TRUE(qobject_cast<QFrame*>(button->parentWidget())->contentsRect().contains(
        button->geometry()))
        << name;
  }
}

// At the default size the status line's longest readout (both channels with their temperatures and
// the time) and the status field's longest notices (a journal that cannot be written, a stopped
// recording, unsaved changes) each show whole: they are rows of their own.
TEST_F(LabWindowTest, StatusLineAndFieldShowWholeAtTheDefaultSize) {
  RecorderState& s = recorder.state();
  for (int i = 0; i < 500; ++i) s.append(-123456.7f, -123456.7f, -10.55f, -10.55f);
  s.shown_count = s.rec_next;
  s.sample_interval = 5.0f;
  auto* chart = window->findChild<ChartWidget*>();
  ASSERT_NE(chart, nullptr);
  emit chart->moved(QPointF(chart->width() - 2, 20), false);
  s.journal_notice =
      "Recovery journal not written: cannot write the journal (No space left on device)";
  s.recording_notice = "00:41:35 \xC2\xB7 499 of 100,000 samples \xC2\xB7 stopped";
  s.revision = s.saved_revision + 1;
  recorder.window()["stfield"].caption = status_field_text(s);
  window->sync();
  for (const char* name : {"st1_text", "stfield"}) {
    auto* label = find<QLabel>(name);
    const QString text = label->text();
    ASSERT_FALSE(text.isEmpty()) << name;
    EXPECT_LE(label->fontMetrics().horizontalAdvance(text), label->contentsRect().width())
        << name << ": " << text.toStdString();
  }
  const std::string line = find<QLabel>("st1_text")->text().toStdString();
  EXPECT_NE(line.find("Time:"), std::string::npos) << line;
  EXPECT_NE(find<QLabel>("stfield")->text().toStdString().find("Unsaved changes"),
            std::string::npos);
}

TEST_F(LabWindowTest, EnterInACalibrationBoxConverts) {
  RecorderState& s = recorder.state();
  find<QAction>("pusb1")->trigger();
  click("conoff");
  click("ccal");
  auto* pa = find<QLineEdit>("ct1");
  ASSERT_TRUE(pa->isVisible());
  pa->clear();
  QTest::keyClicks(pa, "300");
  auto* nm = find<QLineEdit>("ct2");
  nm->clear();
  QTest::keyClicks(nm, "100");
  QTest::keyClick(nm, Qt::Key_Return);
  EXPECT_FLOAT_EQ(s.pa_per_nm1, 3.0f);
  EXPECT_FALSE(pa->isVisible());  // the entry closed, as Conv closes it
  click("ccal2");
  auto* pa2 = find<QLineEdit>("ct12");
  pa2->clear();
  QTest::keyClicks(pa2, "50");
  auto* nm2 = find<QLineEdit>("ct22");
  nm2->clear();
  QTest::keyClicks(nm2, "10");
  QTest::keyClick(pa2, Qt::Key_Enter);
  EXPECT_FLOAT_EQ(s.pa_per_nm2, 5.0f);
}

TEST_F(LabWindowTest, WheelAndKeysOnTheChartScrollAndZoom) {
  RecorderState& s = recorder.state();
  for (int i = 1; i <= 3000; ++i) s.append(static_cast<float>(i % 500), 0, 20, 20);
  s.shown_count = s.rec_next;
  recorder.procedures().nhs1_set();
  window->sync();
  auto* chart = find<QWidget>("p1");
  auto* bar = find<QScrollBar>("nhs1");
  const int first = bar->value();
  wheel(chart, -120, Qt::NoModifier);
  EXPECT_EQ(bar->value(), first + bar->singleStep());
  wheel(chart, -120, Qt::ShiftModifier);
  EXPECT_EQ(bar->value(), first + bar->singleStep() + bar->pageStep());
  chart->setFocus();
  QTest::keyClick(chart, Qt::Key_Home);
  EXPECT_EQ(s.view_start, 1.0f);
  QTest::keyClick(chart, Qt::Key_End);
  EXPECT_NEAR(s.view_start + s.view_width, s.shown_count, 1);
  QTest::keyClick(chart, Qt::Key_PageUp);
  EXPECT_LT(s.view_start + s.view_width, s.shown_count - 300);
  wheel(chart, 120, Qt::ControlModifier);
  EXPECT_TRUE(find<QAction>("pt5s")->isChecked());
  EXPECT_TRUE(find<QLabel>("st1_text")->text().startsWith("DIV: 5s_"));
  // Half-notch wheels add up to a notch.
  wheel(chart, -60, Qt::ControlModifier);
  EXPECT_TRUE(find<QAction>("pt5s")->isChecked());
  wheel(chart, -60, Qt::ControlModifier);
  EXPECT_TRUE(find<QAction>("pt10s")->isChecked());
}

TEST_F(LabWindowTest, ChannelTitlesFollowTheTraceColours) {
  auto colour_of = [&](const char* name) {
    return find<QLabel>(name)->palette().color(QPalette::WindowText);
  };
  EXPECT_EQ(colour_of("tch"), QColor(0, 0, 255));
  EXPECT_EQ(colour_of("tch2"), QColor(0, 255, 0));
  EXPECT_EQ(find<QLabel>("tch")->text(), "CH1");
  dialogs.colour_answers = {0x0080FF};  // orange, packed blue x 65536 + green x 256 + red
  find<QAction>("pcdcolor2")->trigger();
  EXPECT_EQ(colour_of("tch2"), QColor(255, 128, 0));
}

// Assistive tools find each control by a name that says what it is, with a description.
TEST_F(LabWindowTest, EveryControlHasAnAccessibleNameAndDescription) {
  int widgets = 0;
  for (Control* control : recorder.window().controls()) {
    if (control->kind == ControlKind::Timer || control->kind == ControlKind::Separator ||
        control->kind == ControlKind::Menu || control->kind == ControlKind::MenuItem ||
        control->name == "rtb1") {
      continue;
    }
    auto* widget = window->findChild<QWidget*>(QString::fromStdString(control->name));
    ASSERT_NE(widget, nullptr) << control->name;
    ++widgets;
    EXPECT_FALSE(widget->accessibleName().isEmpty()) << control->name;
    const bool shown_readout = control->kind == ControlKind::Label && control->visible &&
                               control->parent.rfind("sp", 0) == 0;
    if (control->kind == ControlKind::Button || control->kind == ControlKind::ScrollBar ||
        shown_readout) {
      EXPECT_FALSE(widget->accessibleDescription().isEmpty()) << control->name;
    }
  }
  EXPECT_GT(widgets, 40);
  EXPECT_EQ(find<QScrollBar>("nvs12")->accessibleName(), "CH2 offset");
  EXPECT_TRUE(find<QLabel>("t2")->accessibleName().startsWith("CH1 current: +000"));
  EXPECT_EQ(find<QPushButton>("ccal2")->accessibleName(), "CH2 Conv");
  // The chart comes after the panels and before the notes in the focus chain.
  QWidget* w = find<QPushButton>("copen");
  bool chart_seen = false, notes_after_chart = false;
  for (int k = 0; k < 200 && w; ++k) {
    w = w->nextInFocusChain();
    chart_seen = chart_seen || w->objectName() == "p1";
    if (w->objectName() == "nt1") notes_after_chart = chart_seen;
    if (w->objectName() == "copen") break;
  }
  EXPECT_TRUE(chart_seen);
  EXPECT_TRUE(notes_after_chart);
}

}  // namespace
}  // namespace zetra::ui
