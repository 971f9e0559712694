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

TEST(Exit, YesSavesBothNoSavesSettingsCancelStays) {
  RecorderHarness h;
  ExitLog log;
  log.install(h.recorder.procedures());
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
  h.dialogs.message_answers = {platform::MessageAnswer::Yes};
  h.recorder.press("pexit");
  EXPECT_EQ(log.calls, "save ");
}

}  // namespace
}  // namespace zetra
