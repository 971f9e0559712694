// The real main window, offscreen, on a recorder with fakes: widgets are found by their control
// names and must mirror the model after clicks, triggers, edits, scrolls and ticks.
#include "recorder/ui/qt/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPaintEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/qt/qt_printer.h"
#include "platform/qt/qt_window_frame.h"
#include "tests/support/counting_pause.h"
#include "tests/support/memory_clipboard.h"
#include "tests/support/scripted_dialogs.h"

namespace zetra::ui {
namespace {

// A port that never touches a device: every line operation succeeds, every input reads low.
class QuietPort final : public platform::SerialPort {
 public:
  void select(int n) override { number_ = n; }
  int selected() const override { return number_; }
  std::string device_path(int n) const override { return "fake-line-" + std::to_string(n); }
  bool open() override { return open_ = true; }
  void close() override { open_ = false; }
  bool is_open() const override { return open_; }
  bool set_dtr(bool) override { return true; }
  bool set_rts(bool) override { return true; }
  bool set_break(bool) override { return true; }
  bool cts() override { return false; }
  bool dsr() override { return false; }
  bool cd() override { return false; }

 private:
  int number_ = 1;
  bool open_ = false;
};

// A base unit that is always ready and answers every block with the same words.
class SteadyLibrary final : public platform::DeviceLibrary {
 public:
  bool load() override { return true; }
  int32_t open_device(uint8_t dev) override { opened = dev; return 1; }
  int32_t close_device(uint8_t) override { return 1; }
  int32_t usr_config(uint8_t, uint8_t&) override { return 1; }
  int32_t write_word(uint8_t, uint8_t, int32_t&) override { return 1; }
  int32_t usr_read(uint8_t, uint8_t& status) override { status = 0; return 1; }
  int32_t read_block(uint8_t, uint8_t, uint8_t count, int32_t* words) override {
    for (int i = 0; i < count; ++i) words[i] = 0x5555;
    return 1;
  }
  int opened = 0;
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest()
      : recorder(Platform{port, library, dialogs, pause, clipboard, folder.path().toStdString(),
                          &printer, &frame},
                 ChartSurfaces{&chart_surface, &window_layer}) {
    recorder.start();
    window = std::make_unique<MainWindow>(recorder, chart_surface, window_layer);
    frame.attach(window.get());
    window->show();
  }

  template <class T>
  T* find(const char* name) {
    T* object = window->findChild<T*>(name);
    EXPECT_NE(object, nullptr) << name;
    return object;
  }
  QPushButton* button(const char* name) { return find<QPushButton>(name); }
  QAction* action(const char* name) { return find<QAction>(name); }

  QTemporaryDir folder;
  QuietPort port;
  SteadyLibrary library;
  testing::ScriptedDialogs dialogs;
  testing::CountingPause pause;
  testing::MemoryClipboard clipboard;
  platform::QtPrinter printer{folder.filePath("print.pdf"), std::nullopt};  // the dialog cancels
  platform::QtWindowFrame frame;
  platform::QtSurface chart_surface;
  platform::QtSurface window_layer;
  Recorder recorder;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, EveryControlHasAQtObjectOfItsName) {
  for (const Control* c : recorder.window().controls()) {
    const char* name = c->name.c_str();
    switch (c->kind) {
      case ControlKind::Menu: EXPECT_NE(window->findChild<QMenu*>(name), nullptr) << name; break;
      case ControlKind::MenuItem:
      case ControlKind::Separator:
        EXPECT_NE(window->findChild<QAction*>(name), nullptr) << name;
        break;
      case ControlKind::Timer: EXPECT_NE(window->findChild<QTimer*>(name), nullptr) << name; break;
      default: EXPECT_NE(window->findChild<QWidget*>(name), nullptr) << name; break;
    }
  }
}

TEST_F(MainWindowTest, StartUpStateIsMirrored) {
  EXPECT_EQ(window->windowTitle().toStdString(), recorder.state().window_caption);
  EXPECT_EQ(button("conoff")->text(), "On");
  EXPECT_TRUE(button("conoff")->isEnabled());
  EXPECT_EQ(button("conoff")->toolTip(), "System on/off");
  for (const char* name : {"crec", "cre", "cmarker", "czero", "coz", "ccal", "czero2", "ccal2"}) {
    EXPECT_FALSE(button(name)->isEnabled()) << name;
  }
  for (const char* name : {"copen", "csave", "ccut", "ccopy", "cpaste", "cdeleta", "cprint"}) {
    EXPECT_TRUE(button(name)->isEnabled()) << name;
  }
  EXPECT_TRUE(action("pt10s")->isChecked());
  EXPECT_TRUE(action("pnotesoff")->isChecked());
  EXPECT_FALSE(action("ppn5002")->isChecked());
  EXPECT_EQ(action("pcont")->shortcut(), QKeySequence(QKeySequence::HelpContents));
  EXPECT_EQ(action("pcom3")->statusTip(), "fake-line-3");
  EXPECT_TRUE(find<QWidget>("t3")->isHidden());
  EXPECT_TRUE(find<QWidget>("nt1")->isHidden());
  EXPECT_EQ(find<QLabel>("t22")->text(), "+000'000.0 pA");
  auto* nvs1 = find<QScrollBar>("nvs1");
  EXPECT_EQ(nvs1->orientation(), Qt::Vertical);
  EXPECT_EQ(nvs1->minimum(), -150);
  EXPECT_EQ(nvs1->value(), -10);
  EXPECT_FALSE(find<QTimer>("Timer1")->isActive());
  EXPECT_TRUE(find<QTimer>("Timer3")->isActive());
  EXPECT_EQ(find<QTimer>("Timer2")->interval(), 400);
}

TEST_F(MainWindowTest, TriggersClicksAndTicksGoThroughTheModel) {
  action("pusb2")->trigger();
  EXPECT_TRUE(action("pusb2")->isChecked());
  EXPECT_FALSE(action("pusb1")->isChecked());
  EXPECT_EQ(recorder.state().dev_no, 2);

  button("conoff")->click();
  EXPECT_EQ(library.opened, 2);
  EXPECT_EQ(button("conoff")->text(), "Off");
  EXPECT_TRUE(button("crec")->isEnabled());
  EXPECT_FALSE(find<QMenu>("psetup")->menuAction()->isEnabled());
  EXPECT_TRUE(find<QTimer>("Timer1")->isActive());
  EXPECT_EQ(find<QTimer>("Timer1")->interval(), 500);

  // Setup is disabled: a stray trigger is refused and the view falls back to the model's check.
  action("pusb3")->trigger();
  EXPECT_TRUE(action("pusb2")->isChecked());
  EXPECT_FALSE(action("pusb3")->isChecked());

  button("crec")->click();
  EXPECT_EQ(button("crec")->text(), "Stop");
  EXPECT_FALSE(button("copen")->isEnabled());
  EXPECT_FALSE(action("pexit")->isEnabled());
  EXPECT_TRUE(button("cmarker")->isEnabled());
  recorder.tick("Timer1");
  recorder.tick("Timer1");
  window->sync();
  EXPECT_EQ(recorder.state().rec_next, 3.0f);
  recorder.tick("Timer3");
  window->sync();
  EXPECT_TRUE(find<QLabel>("t2")->text().endsWith(" pA"));  // the readout of the live value
}

TEST_F(MainWindowTest, EditsAndScrollsReachTheModel) {
  button("conoff")->click();
  button("ccal")->click();
  auto* ct1 = find<QLineEdit>("ct1");
  ASSERT_FALSE(ct1->isHidden());
  EXPECT_EQ(ct1->text(), "1.00");
  ct1->clear();
  QTest::keyClicks(ct1, "250.00");
  EXPECT_EQ(recorder.window()["ct1"].caption, "250.00");

  int moves = 0;
  recorder.window().on("nvs2", [&] { ++moves; });
  find<QScrollBar>("nvs2")->setValue(42);  // as a user drag would
  EXPECT_EQ(recorder.window()["nvs2"].value, 42);
  recorder.window()["nvs2"].value = -7;  // a programmatic change is no user move
  window->sync();
  EXPECT_EQ(find<QScrollBar>("nvs2")->value(), -7);
  EXPECT_EQ(moves, 1);

  recorder.window()["st1"].caption = "DIV: 10s_200_500_10C_10C ";
  window->sync();
  EXPECT_EQ(find<QLabel>("st1_text")->text(), "DIV: 10s_200_500_10C_10C ");
}

// Enter in a calibration box converts and hides the boxes; the focus stays with that channel's
// Conv button, so a following Space cannot zero the other channel.
TEST_F(MainWindowTest, EnterInACalibrationBoxLeavesTheFocusOnItsConvButton) {
  button("conoff")->click();
  button("ccal")->click();
  auto* ct2 = find<QLineEdit>("ct2");
  ASSERT_FALSE(ct2->isHidden());
  QApplication::setActiveWindow(window.get());
  ct2->setFocus();
  QTest::keyClick(ct2, Qt::Key_Return);
  EXPECT_TRUE(ct2->isHidden());
  QWidget* focused = QApplication::focusWidget();
  ASSERT_NE(focused, nullptr);
  EXPECT_EQ(focused->objectName(), "ccal");
  QTest::keyClick(focused, Qt::Key_Space);
  EXPECT_EQ(recorder.state().zero_state2, 0);
  EXPECT_FALSE(recorder.window()["t32"].visible);  // no "CH2 Zero on"
}

TEST_F(MainWindowTest, CloseBoxAsksTheExitCommandFirst) {
  int asked = 0;
  recorder.window().on("pexit", [&] { ++asked; });
  window->close();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(window->isVisible());  // the exit command has not ended the program
  window->end_program();
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(window->isVisible());
}

// The rectangles of the paint events a widget receives.
class PaintLog : public QObject {
 public:
  explicit PaintLog(QWidget* widget) { widget->installEventFilter(this); }
  std::vector<QRect> rects;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) rects.push_back(static_cast<QPaintEvent*>(event)->rect());
    return false;
  }
};

// A timer's timeout as the event loop delivers it, without waiting for the timer.
void fire(QTimer* timer) {
  ASSERT_TRUE(QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection));
}

// Waits until the window has gone through a repaint pass: an update of `fence` is painted in the
// same pass as every other pending update of the window.
void settle(QWidget* fence) {
  PaintLog log(fence);
  fence->update();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !log.rects.empty(); }, 5000));
}

// The live plotter repaints the columns of its new segments only, and ticks that draw nothing
// (no new sample, unchanged readouts) repaint neither the chart nor the window layer.
TEST_F(MainWindowTest, TicksRepaintOnlyWhatTheyDrew) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  action("pusb2")->trigger();
  button("conoff")->click();
  button("crec")->click();
  QWidget* chart = find<QWidget>("p1");
  QWidget* fence = find<QWidget>("st1");  // the status bar, apart from the chart and its layer
  PaintLog chart_paints(chart);
  PaintLog layer_paints(window->centralWidget());
  for (int i = 0; i < 3; ++i) recorder.tick("Timer1");
  fire(find<QTimer>("Timer3"));  // the readouts of the newest live values
  RecorderState& state = recorder.state();
  for (size_t i = 1; i <= 3; ++i) {  // values inside the chart, whatever the fake unit reads
    state.rec_cur1[i] = 800;
    state.rec_cur2[i] = 1500;
    state.rec_temp1[i] = state.rec_temp2[i] = 50;
  }
  settle(fence);
  chart_paints.rects.clear();
  layer_paints.rects.clear();

  const float pen_before = recorder.state().pen_x;
  fire(find<QTimer>("Timer2"));  // three new samples: a few columns at the left edge
  settle(fence);
  EXPECT_GT(recorder.state().pen_x, pen_before);
  ASSERT_FALSE(chart_paints.rects.empty());
  for (const QRect& r : chart_paints.rects) EXPECT_LT(r.width(), chart->width() / 4) << r.width();
  EXPECT_TRUE(layer_paints.rects.empty());

  chart_paints.rects.clear();
  for (int i = 0; i < 3; ++i) {
    fire(find<QTimer>("Timer2"));  // nothing new stored
    fire(find<QTimer>("Timer3"));  // the same live values
    settle(fence);
  }
  EXPECT_TRUE(chart_paints.rects.empty()) << chart_paints.rects.size() << " chart repaints";
  EXPECT_TRUE(layer_paints.rects.empty()) << layer_paints.rects.size() << " layer repaints";
}

TEST_F(MainWindowTest, SavesAScreenshot) {
  action("pusb2")->trigger();
  button("conoff")->click();
  button("crec")->click();
  for (int i = 0; i < 4; ++i) recorder.tick("Timer1");
  window->sync();
  const QString path = QStringLiteral(SCREENSHOT_DIR "/main_window.png");
  ASSERT_TRUE(window->grab().save(path));
  std::printf("screenshot: %s\n", qPrintable(path));
}

}  // namespace
}  // namespace zetra::ui
