// Undo and Redo as the Edit menu offers them: when they are enabled, and what the emptyings of
// Delete all, New, a rate and a memory change bring back.
#include <gtest/gtest.h>

#include "tests/recorder/files/temp_folder.h"
#include "tests/support/recorder_harness.h"

namespace zetra {
namespace {

using platform::MessageAnswer;
using testing::RecorderHarness;

class UndoCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 1; i <= 1000; ++i) s.append(float(i), -float(i), 20 + i / 1000.0f, 30);
    s.shown_count = s.rec_next;
    s.view_start = 201;
    s.pen_x = 17;
    w["nt1"].caption = "Notes: run 4";
  }

  RecorderHarness h;
  RecorderState& s = h.state();
  WindowModel& w = h.window();
};

TEST_F(UndoCommandsTest, EnabledOnlyWithAStepAndNeverWhileRecordingWhichStartsAFreshHistory) {
  EXPECT_FALSE(w["pundo"].enabled);
  EXPECT_FALSE(w["predo"].enabled);
  EXPECT_NE(w["pundo"].tool_tip.find("512 MB"), std::string::npos);
  s.sel_start = 10;
  s.sel_end = 30;
  ASSERT_TRUE(h.recorder.press("pcut"));
  EXPECT_TRUE(w["pundo"].enabled);
  EXPECT_FALSE(w["predo"].enabled);
  ASSERT_TRUE(h.recorder.press("pundo"));
  EXPECT_FALSE(w["pundo"].enabled);
  EXPECT_TRUE(w["predo"].enabled);
  ASSERT_TRUE(h.recorder.press("predo"));

  h.connect();
  h.recorder.press("crec");
  EXPECT_FALSE(w["pundo"].enabled);
  EXPECT_FALSE(h.recorder.press("pundo"));
  h.recorder.tick("Timer1");
  h.recorder.press("crec");
  EXPECT_FALSE(w["pundo"].enabled) << "the steps before the run no longer fit the recording";
  EXPECT_FALSE(s.history.can_undo());
}

TEST_F(UndoCommandsTest, UndoOfDeleteAllAndNewBringsBackTheSameArraysNotesNameAndView) {
  const float* data = s.rec_cur1.data();
  const std::string name = s.file_name;
  h.dialogs.message_answers = {MessageAnswer::Ok};
  ASSERT_TRUE(h.recorder.press("pcleara"));
  EXPECT_EQ(s.rec_next, 1.0f);
  EXPECT_EQ(w["nt1"].caption, "Notes:");
  EXPECT_NE(s.rec_cur1.data(), data);

  ASSERT_TRUE(h.recorder.press("pundo"));
  EXPECT_EQ(s.rec_cur1.data(), data) << "the old arrays themselves";
  EXPECT_EQ(s.rec_next, 1001.0f);
  EXPECT_EQ(s.view_start, 201.0f);
  EXPECT_EQ(s.pen_x, 17.0f);
  EXPECT_EQ(w["nt1"].caption, "Notes: run 4");

  // Notes typed after a step that did not touch them stay when it is undone.
  s.sel_start = 5;
  s.sel_end = 9;
  ASSERT_TRUE(h.recorder.press("pdelete"));
  w["nt1"].caption = "Notes: typed later";
  ASSERT_TRUE(h.recorder.press("pundo"));
  EXPECT_EQ(w["nt1"].caption, "Notes: typed later");
  EXPECT_EQ(s.rec_next, 1001.0f);

  h.dialogs.message_answers = {MessageAnswer::No};
  h.dialogs.file_answers = {"/nonexistent-zetra/next.ztr"};
  ASSERT_TRUE(h.recorder.press("pnew"));
  EXPECT_EQ(s.window_caption, "ZetraII [ /nonexistent-zetra/next.ztr ]");
  ASSERT_TRUE(h.recorder.press("pundo"));
  EXPECT_EQ(s.file_name, name);
  EXPECT_EQ(s.window_caption, "ZetraII [ " + name + " ]");
  EXPECT_EQ(s.rec_cur2[1000], -1000.0f);
  ASSERT_TRUE(h.recorder.press("predo"));
  EXPECT_EQ(s.file_name, "/nonexistent-zetra/next.ztr");
  EXPECT_EQ(s.rec_next, 1.0f);
}

TEST_F(UndoCommandsTest, UndoOfARateOrMemoryChangeBringsBackTheRecordingWithItsRateAndMemory) {
  s.sel_start = 1;
  s.sel_end = 3;
  ASSERT_TRUE(h.recorder.press("pdelete"));  // an earlier step under the emptyings
  h.dialogs.message_answers = {MessageAnswer::No};
  ASSERT_TRUE(h.recorder.press("p5s1"));
  EXPECT_EQ(s.rec_next, 1.0f);
  EXPECT_EQ(w["Timer1"].interval_ms, 200);
  ASSERT_TRUE(h.recorder.press("pundo"));
  EXPECT_EQ(s.sample_interval, 0.5f);
  EXPECT_EQ(w["Timer1"].interval_ms, 500);
  EXPECT_TRUE(w["p2s1"].checked && !w["p5s1"].checked);
  EXPECT_EQ(s.view_width, 400.0f);
  EXPECT_EQ(s.rec_next, 999.0f);

  const float* data = s.rec_temp1.data();
  h.dialogs.message_answers = {MessageAnswer::No};
  ASSERT_TRUE(h.recorder.press("pr2m"));
  EXPECT_EQ(s.rec_temp1[5], 0.0f);
  ASSERT_TRUE(h.recorder.press("pundo"));
  EXPECT_EQ(s.rec_temp1.data(), data);
  EXPECT_EQ(s.rec_capacity, 100000.0f);
  EXPECT_TRUE(w["pr100"].checked && !w["pr2m"].checked);
  ASSERT_TRUE(h.recorder.press("pundo"));  // and the delete under them
  EXPECT_EQ(s.rec_next, 1001.0f);
  EXPECT_EQ(s.rec_cur1[2], 2.0f);
}

// Selects the samples first .. first + count - 1 in the present view.
void select_samples(RecorderState& s, float first, float count) {
  s.sel_start = first - s.view_start;
  s.sel_end = s.sel_start + count;
}

using Held = std::vector<HeldStretch>;

// The marks of held samples go with their samples through Cut and Paste, Delete all and New, and
// Undo and Redo bring back the marks of each step exactly.
TEST_F(UndoCommandsTest, HeldMarksFollowEveryEditAndComeBackWithUndoAndRedo) {
  ASSERT_TRUE(s.held.append({300, 309, 36000, 36009}));
  ASSERT_TRUE(s.held.append({500, 504, -1, -1}));
  const Held original = s.held.list();
  select_samples(s, 305, 10);  // 305 .. 314: the end of the first stretch
  ASSERT_TRUE(h.recorder.press("pcut"));
  const Held cut = {{300, 304, 36000, 36004}, {490, 494, -1, -1}};
  EXPECT_EQ(s.held.list(), cut);
  EXPECT_EQ(s.clip_held.list(), (Held{{0, 4, 36005, 36009}}));
  select_samples(s, 492, 2);  // pasted into the middle of the second stretch
  ASSERT_TRUE(h.recorder.press("ppaste"));
  const Held pasted = {{300, 304, 36000, 36004}, {490, 491, -1, -1}, {492, 496, 36005, 36009},
                       {502, 504, -1, -1}};
  EXPECT_EQ(s.held.list(), pasted);
  EXPECT_EQ(s.rec_cur1[492], 305.0f);

  ASSERT_TRUE(h.recorder.press("pundo"));
  EXPECT_EQ(s.held.list(), cut);
  ASSERT_TRUE(h.recorder.press("pundo"));
  EXPECT_EQ(s.held.list(), original);
  ASSERT_TRUE(h.recorder.press("predo"));
  EXPECT_EQ(s.held.list(), cut);
  ASSERT_TRUE(h.recorder.press("predo"));
  EXPECT_EQ(s.held.list(), pasted);

  h.dialogs.message_answers = {MessageAnswer::Ok};
  ASSERT_TRUE(h.recorder.press("pcleara"));
  EXPECT_TRUE(s.held.empty());
  ASSERT_TRUE(h.recorder.press("pundo"));
  EXPECT_EQ(s.held.list(), pasted);
  h.dialogs.message_answers = {MessageAnswer::No};
  h.dialogs.file_answers = {"/nonexistent-zetra/next.ztr"};
  ASSERT_TRUE(h.recorder.press("pnew"));
  EXPECT_TRUE(s.held.empty());
  ASSERT_TRUE(h.recorder.press("pundo"));
  EXPECT_EQ(s.held.list(), pasted);
}

// Open starts a new history: an Undo right after it has nothing to take back, and above all does
// not apply a step of the recording before to the one just opened.
TEST_F(UndoCommandsTest, UndoRightAfterOpenTakesNothingBackFromTheOpenedRecording) {
  testing::TempFolder folder;
  const std::string file = folder.file("other.ztr");
  h.dialogs.file_answers = {file};
  ASSERT_TRUE(h.recorder.press("psaveas"));
  select_samples(s, 100, 50);
  ASSERT_TRUE(h.recorder.press("pcut"));  // a step of the recording in memory
  ASSERT_EQ(s.rec_next, 951.0f);

  h.dialogs.message_answers = {MessageAnswer::No};  // do not save the cut first
  h.dialogs.file_answers = {file};
  ASSERT_TRUE(h.recorder.press("popen"));
  ASSERT_EQ(s.rec_next, 1001.0f);
  EXPECT_FALSE(w["pundo"].enabled);
  EXPECT_FALSE(h.recorder.press("pundo"));
  h.window()["pundo"].enabled = true;  // even forced, there is no step to apply
  h.recorder.press("pundo");
  EXPECT_EQ(s.rec_next, 1001.0f);
  EXPECT_EQ(s.rec_cur1[100], 100.0f);
  EXPECT_EQ(s.rec_cur1[1000], 1000.0f);
  EXPECT_FALSE(s.unsaved());
}

}  // namespace
}  // namespace zetra
