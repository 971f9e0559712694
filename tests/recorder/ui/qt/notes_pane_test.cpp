// The notes pane of the real window, offscreen: it takes no more than the notes field holds
// (typed or pasted), can always be shortened, and showing the model's text is not an edit.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>

#include "tests/support/stand_in_window_test.h"

namespace zetra::ui {
namespace {

class NotesPaneTest : public testing::StandInWindowTest {
 protected:
  NotesPaneTest() : StandInWindowTest(1000, 720) {
    find<QAction>("pnoteson")->trigger();
    pane = find<QPlainTextEdit>("nt1");
    pane->setFocus();
    pane->moveCursor(QTextCursor::End);
  }
  QString status_field() { return find<QLabel>("stfield")->text(); }
  QPlainTextEdit* pane = nullptr;
};

TEST_F(NotesPaneTest, TakesNoMoreThanTheFieldHoldsAndTellsTheRoom) {
  Control& nt1 = recorder.window()["nt1"];
  EXPECT_TRUE(pane->isVisible());
  EXPECT_EQ(pane->toPlainText(), "Notes:");
  EXPECT_TRUE(status_field().contains("Notes: 994 bytes left")) << status_field().toStdString();
  QTest::keyClicks(pane, QString(990, 'x'));
  EXPECT_EQ(pane->toPlainText().size(), 996);
  EXPECT_TRUE(status_field().contains("Notes: 4 bytes left"));
  pane->moveCursor(QTextCursor::Start);
  QTest::keyClicks(pane, "abcdefg");  // three too many: the last three typed are not taken
  EXPECT_EQ(pane->toPlainText().size(), 1000);
  EXPECT_TRUE(pane->toPlainText().startsWith("abcdNotes:"));
  EXPECT_EQ(nt1.caption.size(), 1000u);
  EXPECT_TRUE(status_field().contains("Notes: 0 bytes left"));

  QApplication::clipboard()->setText("pasted");
  pane->paste();
  EXPECT_EQ(pane->toPlainText().size(), 1000) << "a paste is cut to the room as well";
  QTest::keyClick(pane, Qt::Key_Backspace);
  EXPECT_EQ(nt1.caption.size(), 999u);
  EXPECT_TRUE(status_field().contains("Notes: 1 byte left"));
}

// A pane already over its limit (the held stretches' lines came after the text) still shrinks,
// and gains nothing.
TEST_F(NotesPaneTest, APaneOverItsLimitCanOnlyShrink) {
  Control& nt1 = recorder.window()["nt1"];
  nt1.caption = std::string(995, 'n');
  recorder.state().held.hold(5, 36000);
  recorder.state().held.hold(6, 36001);
  recorder.procedures().show_status_field();
  window->sync();
  ASSERT_LT(nt1.max_length, 995);
  pane->moveCursor(QTextCursor::End);
  QTest::keyClicks(pane, "more");
  EXPECT_EQ(pane->toPlainText().size(), 995);
  QTest::keyClick(pane, Qt::Key_Backspace);
  EXPECT_EQ(nt1.caption.size(), 994u);
  EXPECT_TRUE(status_field().contains("Notes full: 1 stretch without an answer not listed"))
      << status_field().toStdString();
}

// The model's text with CR LF breaks is shown as the pane writes it, but that is no edit: the
// recording stays unchanged and its text byte for byte as it was.
TEST_F(NotesPaneTest, ShowingTheModelsTextIsNotAnEdit) {
  recorder.window()["nt1"].caption = "Notes:\r\nline";
  const uint64_t revision = recorder.state().revision;
  window->sync();
  EXPECT_EQ(pane->toPlainText(), "Notes:\nline");
  EXPECT_EQ(recorder.window()["nt1"].caption, "Notes:\r\nline");
  EXPECT_EQ(recorder.state().revision, revision);
}

}  // namespace
}  // namespace zetra::ui
