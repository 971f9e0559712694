// Whether the recording is saved, the question before a command throws unsaved changes away, and
// the question before another recording's file is taken over — through the window as the operator
// meets them.
#include <gtest/gtest.h>

#include <filesystem>

#include "recorder/window/unsaved_guard.h"
#include "tests/recorder/files/temp_folder.h"
#include "tests/support/recorder_harness.h"

namespace zetra::files {
namespace {

using platform::MessageAnswer;
using testing::RecorderHarness;
using testing::Transport;

class UnsavedChangesTest : public ::testing::Test {
 protected:
  // Records n samples from the stand-in meter, as the operator would, and closes the link (the
  // Setup menu opens only then).
  void record(int n) {
    h.connect();
    h.recorder.press("crec");
    for (int i = 0; i < n; ++i) h.recorder.tick("Timer1");
    h.recorder.press("crec");
    h.recorder.press("conoff");
  }
  size_t questions() const {
    size_t n = 0;
    for (const auto& m : h.dialogs.messages) n += m.text == kUnsavedQuestion;
    return n;
  }

  testing::TempFolder folder;
  RecorderHarness h{Transport::Usb, folder.path()};
  RecorderState& s = h.state();
  WindowModel& w = h.window();
};

TEST_F(UnsavedChangesTest, SamplesEditsAndNotesMakeItUnsavedSaveAndOpenMakeItSavedAtTheirTime) {
  EXPECT_FALSE(s.unsaved());
  EXPECT_EQ(w["stfield"].caption, "");
  record(10);
  EXPECT_TRUE(s.unsaved());
  // The stopped recording's length and count stay in front.
  const std::string stopped = "00:00:05 \xC2\xB7 10 of 100,000 samples \xC2\xB7 stopped \xC2\xB7 ";
  EXPECT_EQ(w["stfield"].caption, stopped + "Unsaved changes");

  h.clock.set(14, 2, 11);
  ASSERT_TRUE(h.recorder.press("psave"));
  EXPECT_FALSE(s.unsaved());
  EXPECT_EQ(w["stfield"].caption, stopped + "Saved 14:02:11");

  // Notes typed: the view writes the text and runs the pane's handler.
  w["nt1"].caption = "Notes: buffer B";
  w.invoke("nt1");
  EXPECT_EQ(w["stfield"].caption, stopped + "Unsaved changes");
  h.recorder.press("psave");
  s.sel_start = 2;
  s.sel_end = 5;
  ASSERT_TRUE(h.recorder.press("pdelete"));
  EXPECT_TRUE(s.unsaved());
  ASSERT_TRUE(h.recorder.press("pundo"));  // an undo is a change as well
  EXPECT_TRUE(s.unsaved());

  const std::string name = s.file_name;
  h.dialogs.message_answers = {MessageAnswer::No};
  h.dialogs.file_answers = {name};
  h.clock.set(15, 0, 0);
  ASSERT_TRUE(h.recorder.press("popen"));
  EXPECT_FALSE(s.unsaved());
  // The time of opening, which is no time of saving; the opened recording was not stopped here.
  EXPECT_EQ(w["stfield"].caption, "Opened 15:00:00");
  EXPECT_FALSE(w["pundo"].enabled) << "another recording: the history is gone";
}

TEST_F(UnsavedChangesTest, YesOverASingleSampleWritesNothingSoTheNotesAreKept) {
  record(1);  // one sample: too short to be written
  w["nt1"].caption = "Notes: calibration of buffer B";
  w.invoke("nt1");
  const std::string name = s.file_name;
  h.dialogs.message_answers = {MessageAnswer::Yes};
  h.dialogs.file_answers = {folder.file("next.ztr")};
  h.recorder.press("pnew");
  EXPECT_EQ(questions(), 1u);
  EXPECT_FALSE(std::filesystem::exists(name));
  EXPECT_EQ(s.file_name, name) << "New did not go on";
  EXPECT_EQ(w["nt1"].caption, "Notes: calibration of buffer B");
  EXPECT_TRUE(s.unsaved());
}

TEST_F(UnsavedChangesTest, NewOverNothingLeavesNothingUnsavedAndAsksNothing) {
  h.dialogs.file_answers = {folder.file("a.ztr")};
  ASSERT_TRUE(h.recorder.press("pnew"));
  EXPECT_FALSE(s.unsaved());
  EXPECT_TRUE(h.dialogs.messages.empty());
  record(5);
  h.recorder.press("psave");
  h.dialogs.file_answers = {folder.file("b.ztr")};
  ASSERT_TRUE(h.recorder.press("pnew"));  // saved: no question, but the emptying is a change
  EXPECT_EQ(questions(), 0u);
  EXPECT_EQ(s.file_name, folder.file("b.ztr"));
  EXPECT_TRUE(w["pundo"].enabled);
}

TEST_F(UnsavedChangesTest, CancelKeepsEverythingNoGoesOnYesSavesFirstAndStopsWhenTheSaveFails) {
  record(20);
  const std::string first = s.file_name;
  const float next = s.rec_next;

  // Cancel: New, Open, a rate and a memory change leave all as it was, check marks included.
  for (const char* command : {"pnew", "popen", "p3s1", "pr200"}) {
    h.dialogs.message_answers = {MessageAnswer::Cancel};
    h.dialogs.file_answers = {folder.file("other.ztr")};
    const size_t asked = questions();
    EXPECT_TRUE(h.recorder.press(command)) << command;
    EXPECT_EQ(questions(), asked + 1) << command;
    EXPECT_EQ(h.dialogs.messages.back().buttons, platform::MessageButtons::YesNoCancel);
    EXPECT_EQ(s.rec_next, next) << command;
    EXPECT_EQ(s.file_name, first) << command;
    h.dialogs.file_answers.clear();
  }
  EXPECT_TRUE(w["p2s1"].checked && !w["p3s1"].checked);
  EXPECT_TRUE(w["pr100"].checked && !w["pr200"].checked);
  EXPECT_EQ(s.rec_capacity, 100000.0f);
  EXPECT_FALSE(std::filesystem::exists(first)) << "nothing was saved";

  // Yes: saved to the current file, then the rate changes.
  h.dialogs.message_answers = {MessageAnswer::Yes};
  h.recorder.press("p3s1");
  EXPECT_TRUE(std::filesystem::exists(first));
  EXPECT_TRUE(w["p3s1"].checked);
  EXPECT_EQ(s.rec_next, 1.0f);

  // Yes with a save that fails: the user is told, and the memory stays as it was.
  record(20);
  std::filesystem::create_directory(first + ".blocked");
  s.file_name = first + ".blocked";  // a folder: the write fails
  h.dialogs.message_answers = {MessageAnswer::Yes};
  h.recorder.press("pr500");
  EXPECT_EQ(h.dialogs.messages.back().title, "Save");
  EXPECT_TRUE(w["pr100"].checked);
  EXPECT_EQ(s.rec_next, 21.0f);

  // No: goes on without saving.
  h.dialogs.message_answers = {MessageAnswer::No};
  h.recorder.press("pr500");
  EXPECT_TRUE(w["pr500"].checked);
  EXPECT_EQ(s.rec_capacity, 500000.0f);
}

TEST_F(UnsavedChangesTest, NewAndSaveAsAskBeforeTakingAnotherRecordingsFileButSaveNeverAsks) {
  const std::string older = folder.file("older.ztr");
  record(30);
  h.dialogs.file_answers = {older};
  ASSERT_TRUE(h.recorder.press("psaveas"));  // a new name: no question
  EXPECT_TRUE(h.dialogs.messages.empty());
  const auto older_bytes = testing::read_bytes(older);

  h.dialogs.file_answers = {older};
  h.recorder.press("psaveas");  // the current file: no question
  EXPECT_TRUE(h.dialogs.messages.empty());
  h.recorder.press("psave");
  EXPECT_TRUE(h.dialogs.messages.empty());

  // New picks the older file's name while another is current.
  h.dialogs.file_answers = {folder.file("fresh.ztr")};
  h.recorder.press("pnew");
  record(5);
  h.dialogs.message_answers = {MessageAnswer::No, MessageAnswer::No};  // don't save; don't replace
  h.dialogs.file_answers = {older};
  h.recorder.press("pnew");
  ASSERT_EQ(h.dialogs.messages.size(), 2u);
  EXPECT_EQ(h.dialogs.messages.back().text, older + " already exists. Replace it?");
  EXPECT_EQ(s.file_name, folder.file("fresh.ztr"));
  EXPECT_EQ(s.rec_next, 6.0f);

  h.dialogs.message_answers = {MessageAnswer::No};
  h.dialogs.file_answers = {older};
  h.recorder.press("psaveas");
  EXPECT_EQ(h.dialogs.messages.back().text, older + " already exists. Replace it?");
  EXPECT_EQ(s.file_name, folder.file("fresh.ztr"));
  EXPECT_EQ(testing::read_bytes(older), older_bytes) << "refused: the older file is untouched";

  h.dialogs.message_answers = {MessageAnswer::Yes};
  h.dialogs.file_answers = {older};
  h.recorder.press("psaveas");
  EXPECT_EQ(s.file_name, older);
  EXPECT_NE(testing::read_bytes(older), older_bytes);
}

TEST_F(UnsavedChangesTest, NewOnTheSavedFilesOwnNameAsksBeforeALaterSaveCouldReplaceIt) {
  record(417);
  ASSERT_TRUE(h.recorder.press("psave"));
  const std::string saved = s.file_name;
  const auto bytes = testing::read_bytes(saved);
  h.dialogs.message_answers = {MessageAnswer::No};
  h.dialogs.file_answers = {saved};  // New's dialog starts on the current name: Enter
  h.recorder.press("pnew");
  ASSERT_EQ(h.dialogs.messages.size(), 1u);
  EXPECT_EQ(h.dialogs.messages[0].text, saved + " already exists. Replace it?");
  EXPECT_EQ(s.rec_next, 418.0f) << "refused: the recording stays";

  h.dialogs.message_answers = {MessageAnswer::Yes};
  h.dialogs.file_answers = {saved};
  h.recorder.press("pnew");  // the user chose to replace it
  record(31);
  h.recorder.press("psave");
  EXPECT_NE(testing::read_bytes(saved), bytes);
}

}  // namespace
}  // namespace zetra::files
