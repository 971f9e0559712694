// The keys people expect, as the menus and buttons of the real window carry them offscreen, and
// the About box's name, version and build date asked through the Dialogs interface.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "platform/qt/qt_surface.h"
#include "recorder/app/about.h"
#include "recorder/ui/qt/main_window.h"
#include "tests/support/recorder_harness.h"

namespace zetra::ui {
namespace {

class ShortcutsAboutTest : public ::testing::Test {
 protected:
  ShortcutsAboutTest() {
    window = std::make_unique<MainWindow>(h.recorder, chart_surface, window_layer);
    window->show();
    QApplication::setActiveWindow(window.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }

  QAction* action(const char* name) {
    auto* a = window->findChild<QAction*>(name);
    EXPECT_NE(a, nullptr) << name;
    return a;
  }
  QString keys(const char* name) { return action(name)->shortcut().toString(QKeySequence::PortableText); }

  QTemporaryDir folder;  // the program's folder: the settings file and file1.ztr land here
  testing::RecorderHarness h{testing::Transport::Usb, folder.path().toStdString()};
  platform::QtSurface chart_surface;
  platform::QtSurface window_layer;
  std::unique_ptr<MainWindow> window;
};

TEST_F(ShortcutsAboutTest, MenuItemsCarryTheExpectedKeys) {
  const std::pair<const char*, const char*> expected[] = {
      {"pnew", "Ctrl+N"}, {"popen", "Ctrl+O"},   {"psave", "Ctrl+S"}, {"psaveas", "Ctrl+Shift+S"},
      {"pprint", "Ctrl+P"}, {"pcut", "Ctrl+X"}, {"pcopy", "Ctrl+C"}, {"ppaste", "Ctrl+V"},
      {"pdelete", "Del"},  {"pcont", "F1"},    {"pundo", "Ctrl+Z"}, {"predo", "Ctrl+Shift+Z"}};
  for (const auto& [name, text] : expected) EXPECT_EQ(keys(name), text) << name;
  // No two items share a key, and items without one stay without.
  QStringList seen;
  for (QAction* a : window->findChildren<QAction*>()) {
    if (a->shortcut().isEmpty()) continue;
    const QString k = a->shortcut().toString(QKeySequence::PortableText);
    EXPECT_FALSE(seen.contains(k)) << k.toStdString();
    seen << k;
  }
  EXPECT_EQ(seen.size(), 12);
  // Redo answers to both of its keys.
  const QList<QKeySequence> redo_keys = action("predo")->shortcuts();
  ASSERT_EQ(redo_keys.size(), 2);
  EXPECT_EQ(redo_keys[1].toString(QKeySequence::PortableText), "Ctrl+Y");
  EXPECT_TRUE(action("pexit")->shortcut().isEmpty());
  EXPECT_TRUE(action("pcleara")->shortcut().isEmpty());
}

TEST_F(ShortcutsAboutTest, MarkerKeyPutsAMarkerOnlyWhileRecording) {
  auto* marker = window->findChild<QPushButton*>("cmarker");
  ASSERT_NE(marker, nullptr);
  EXPECT_EQ(marker->shortcut().toString(QKeySequence::PortableText), "Ctrl+M");
  EXPECT_TRUE(marker->toolTip().startsWith("Marker (")) << marker->toolTip().toStdString();

  QTest::keyClick(window.get(), Qt::Key_M, Qt::ControlModifier);  // disabled: not recording
  QTest::qWait(300);  // a button's key clicks it after a short animation
  EXPECT_EQ(h.state().marker_pending, 0);

  h.connect();
  h.recorder.press("crec");
  // No acquisition tick may take the marker before the test looks.
  h.window()["Timer1"].interval_ms = 60000;
  window->sync();
  ASSERT_TRUE(marker->isEnabled());
  QTest::keyClick(window.get(), Qt::Key_M, Qt::ControlModifier);
  for (int i = 0; i < 100 && h.state().marker_pending == 0; ++i) QTest::qWait(10);
  EXPECT_EQ(h.state().marker_pending, 1);
}

TEST_F(ShortcutsAboutTest, SaveKeyRunsSave) {
  // Ctrl+S reaches the Save item: no dialog, the default file beside the program.
  h.connect();
  h.recorder.press("crec");
  for (int i = 0; i < 5; ++i) h.recorder.tick("Timer1");
  h.recorder.press("crec");
  window->sync();
  QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(h.dialogs.files.empty());
  EXPECT_TRUE(QFileInfo::exists(folder.filePath("file1.ztr")));
  QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_EQ(h.dialogs.files.size(), 1u);  // only Save as asks for a name
  EXPECT_EQ(h.dialogs.files[0].prompt, "save");
}

TEST_F(ShortcutsAboutTest, UndoAndBothRedoKeysReachTheEditHistory) {
  h.connect();
  h.recorder.press("crec");
  for (int i = 0; i < 40; ++i) h.recorder.tick("Timer1");
  h.recorder.press("crec");
  h.state().sel_start = 5;
  h.state().sel_end = 15;
  ASSERT_TRUE(h.recorder.press("pdelete"));
  const float after = h.state().rec_next;
  window->sync();
  QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(h.state().rec_next, 41.0f);
  window->sync();
  QTest::keyClick(window.get(), Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(h.state().rec_next, after);
  window->sync();
  QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
  window->sync();
  QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(h.state().rec_next, after);
}

TEST_F(ShortcutsAboutTest, AboutShowsNameVersionAndBuildDate) {
  action("pabout")->trigger();
  ASSERT_EQ(h.dialogs.messages.size(), 1u);
  const testing::AskedMessage& m = h.dialogs.messages[0];
  EXPECT_EQ(m.title, "About zetra");
  EXPECT_EQ(m.buttons, platform::MessageButtons::Ok);
  EXPECT_NE(m.text.find(std::string("zetra ") + EXPECTED_VERSION), std::string::npos) << m.text;
  EXPECT_EQ(program_version(), EXPECTED_VERSION);
  const QRegularExpression date("Built (\\d{4})-(\\d\\d)-(\\d\\d)$");
  const auto match = date.match(QString::fromStdString(m.text));
  ASSERT_TRUE(match.hasMatch()) << m.text;
  EXPECT_GE(match.captured(1).toInt(), 2024);
  EXPECT_EQ(build_date(), match.captured(0).mid(6).toStdString());
}

}  // namespace
}  // namespace zetra::ui
