// Exit and the close box: the save question and what each answer saves.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/recorder_harness.h"

namespace zetra {
namespace {

using testing::RecorderHarness;

struct ExitLog {
  std::string calls;
  bool save_works = true;
  void install(Procedures& p) {
    p.save_recording = [this] {
      calls += "save ";
      return save_works;
    };
    p.zetrasave = [this] { calls += "settings "; };
    p.end_program = [this] { calls += "end"; };
  }
};

// Notes typed into the pane: an unsaved change, so that Exit has something to ask about.
void change_notes(RecorderHarness& h) {
  h.window()["nt1"].caption = "Notes: run 7";
  h.window().invoke("nt1");
}

TEST(Exit, YesSavesBothNoSavesSettingsCancelStays) {
  RecorderHarness h;
  ExitLog log;
  log.install(h.recorder.procedures());
  change_notes(h);
  h.dialogs.message_answers = {platform::MessageAnswer::Yes, platform::MessageAnswer::No,
                               platform::MessageAnswer::Cancel};
  h.recorder.press("pexit");
  EXPECT_EQ(log.calls, "save settings end");
  ASSERT_FALSE(h.dialogs.messages.empty());
  EXPECT_EQ(h.dialogs.messages.back().text, "Save data before exit?");
  EXPECT_EQ(h.dialogs.messages.back().title, "Exit Zetra");
  log.calls.clear();
  h.recorder.press("pexit");
  EXPECT_EQ(log.calls, "settings end");
  // Cancel from the close box during a recording: nothing changes.
  h.connect();
  h.recorder.press("crec");
  log.calls.clear();
  h.window().invoke("pexit");
  EXPECT_EQ(log.calls, "");
  EXPECT_EQ(h.window()["crec"].caption, "Stop");
  EXPECT_EQ(h.window()["conoff"].caption, "Off");
}

TEST(Exit, AFailedSaveKeepsTheProgramOpen) {
  RecorderHarness h;
  ExitLog log;
  log.install(h.recorder.procedures());
  log.save_works = false;
  change_notes(h);
  h.dialogs.message_answers = {platform::MessageAnswer::Yes};
  h.recorder.press("pexit");
  EXPECT_EQ(log.calls, "save ");
}

// Nothing that could be lost: Exit and the close box end at once, with the settings saved; the
// first unsaved change brings the question back.
TEST(Exit, WithoutUnsavedChangesEndsWithoutAsking) {
  RecorderHarness h;
  ExitLog log;
  log.install(h.recorder.procedures());
  h.recorder.press("pexit");
  EXPECT_TRUE(h.dialogs.messages.empty());
  EXPECT_EQ(log.calls, "settings end");
  log.calls.clear();
  h.window().invoke("pexit");  // the close box
  EXPECT_EQ(log.calls, "settings end");
  change_notes(h);
  log.calls.clear();
  h.dialogs.message_answers = {platform::MessageAnswer::Cancel};
  h.recorder.press("pexit");
  ASSERT_EQ(h.dialogs.messages.size(), 1u);
  EXPECT_EQ(h.dialogs.messages[0].text, "Save data before exit?");
  EXPECT_EQ(log.calls, "");
}

}  // namespace
}  // namespace zetra
