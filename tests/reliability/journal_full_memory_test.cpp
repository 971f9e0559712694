// The journal at the ends of the memory, recovered after an abrupt end: a recording that filled
// its memory keeps its last samples; one journaled before its first sample keeps its first ones.
#include <gtest/gtest.h>

#include <filesystem>

#include "recorder/files/files_subsystem.h"
#include "recorder/files/recovery_journal.h"
#include "tests/recorder/files/temp_folder.h"
#include "tests/reliability/recording_driver.h"
#include "tests/support/recorder_harness.h"

namespace zetra::files {
namespace {

using platform::MessageAnswer;
using testing::RecorderHarness;
using testing::TimerClock;
using testing::Transport;

TEST(JournalFullMemory, RecoveringAFullMemoryKeepsItsLastSamples) {
  testing::TempFolder folder;
  {
    RecorderHarness h(Transport::Usb, folder.path());
    TimerClock clock(h.recorder);
    h.library.use_source(1, h.library.model(1));
    h.connect();
    h.recorder.press("crec");
    clock.advance(2000);  // the journal is started
    RecorderState& s = h.state();
    ASSERT_EQ(s.rec_capacity, 100000.0f);
    while (s.rec_next < 99999.0f) s.append(100.0f, 200.0f, 20.0f, 21.0f);
    ASSERT_TRUE(s.append(-7.5f, 3.25f, 36.5f, 37.75f));  // the last place in the memory
    ASSERT_FALSE(s.append(1, 2, 3, 4));
    h.recorder.press("crec");
    clock.advance(700);  // Stop: the rest goes into the journal
    ASSERT_EQ(h.recorder.files().journal.journaled_end(), 100000u);
    h.end_program();  // no exit question: as if the process had died
  }
  testing::ScriptedDialogs dialogs;
  dialogs.message_answers = {MessageAnswer::Yes};
  RecorderHarness base(Transport::Usb, folder.path() + "/other");  // stand-ins only
  Recorder recorder(Platform{base.serial, base.library, dialogs, base.pause, base.clipboard,
                             folder.path(), &base.printer, &base.frame});
  recorder.start();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text.rfind("Recover the unsaved recording?", 0), 0u);
  const RecorderState& s = recorder.state();
  ASSERT_EQ(s.rec_capacity, 100000.0f);
  ASSERT_EQ(s.rec_next, 100000.0f);
  EXPECT_EQ(s.rec_cur1[99998], 100.0f);
  EXPECT_EQ(s.rec_cur1[99999], -7.5f);
  EXPECT_EQ(s.rec_cur2[99999], 3.25f);
  EXPECT_EQ(s.rec_temp1[99999], 36.5f);
  EXPECT_EQ(s.rec_temp2[99999], 37.75f);
}

// A journal started before the first sample covers nothing yet; the samples of the next write
// follow it from index 1, and all of them come back.
TEST(JournalFullMemory, AJournalStartedBeforeTheFirstSampleRecoversEverySample) {
  testing::TempFolder folder;
  {
    RecorderHarness h(Transport::Usb, folder.path());
    TimerClock clock(h.recorder);
    h.library.use_source(1, h.library.model(1));
    h.connect();
    h.recorder.press("crec");
    ASSERT_EQ(h.state().rec_next, 1.0f);
    h.recorder.files().journal.sync();
    EXPECT_EQ(h.recorder.files().journal.journaled_end(), 1u);
    h.recorder.press("crec");
    RecorderState& s = h.state();
    for (int i = 1; i <= 5; ++i) s.append(static_cast<float>(i), 0, 0, 0);
    h.recorder.files().journal.sync();
    ASSERT_EQ(h.recorder.files().journal.journaled_end(), 6u);
    h.end_program();
  }
  testing::ScriptedDialogs dialogs;
  dialogs.message_answers = {MessageAnswer::Yes};
  RecorderHarness base(Transport::Usb, folder.path() + "/other");
  Recorder recorder(Platform{base.serial, base.library, dialogs, base.pause, base.clipboard,
                             folder.path(), &base.printer, &base.frame});
  recorder.start();
  const RecorderState& s = recorder.state();
  ASSERT_EQ(s.rec_next, 6.0f);
  EXPECT_EQ(s.rec_cur1[1], 1.0f);
  EXPECT_EQ(s.rec_cur1[5], 5.0f);
}

}  // namespace
}  // namespace zetra::files
