// The end of a session as the system brings it (logout, shutdown, a termination request): the
// program ends at once and asks nothing, keeps the unsaved recording for the next start and writes
// its settings. A file-size limit that a Save runs into: an error, not the end of the program. And
// a unit silent for minutes: its held stretch reaches the journal without filling the disk.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/qt/process_signals.h"
#include "recorder/files/files_subsystem.h"
#include "recorder/files/settings_file.h"
#include "tests/recorder/files/temp_folder.h"
#include "tests/reliability/recording_driver.h"
#include "tests/support/recorder_harness.h"

namespace zetra {
namespace {

using platform::MessageAnswer;
using testing::RecorderHarness;
using testing::TimerClock;
using testing::Transport;

// A recorder on the stand-ins of `base` whose dialogs hold their answers before it starts.
std::unique_ptr<Recorder> start_answering(RecorderHarness& base, testing::ScriptedDialogs& dialogs,
                                          const std::string& folder) {
  auto recorder =
      std::make_unique<Recorder>(Platform{base.serial, base.library, dialogs, base.pause,
                                          base.clipboard, folder, &base.printer, &base.frame});
  recorder->start();
  return recorder;
}

TEST(SessionEnd, KeepsTheUnsavedRecordingForTheNextStartWritesTheSettingsAndAsksNothing) {
  testing::TempFolder folder;
  size_t samples = 0;
  HeldStretches held;
  {
    RecorderHarness h(Transport::Usb, folder.path());
    TimerClock clock(h.recorder);
    h.library.use_source(1, h.library.model(1));
    h.connect();
    h.recorder.press("ppn5000");  // a setting the session's end must write
    h.recorder.press("crec");
    clock.advance(6000);
    // Held samples listed only since the journal's last write: the session's end writes them.
    ASSERT_TRUE(h.state().held.append({3, 5, 36000, 36002}));  // as a silent unit leaves them
    held = h.state().held;
    samples = h.state().recorded_count();  // the recording still runs: the journal has not all
    ASSERT_GT(samples, 10u);
    int ended = 0;
    h.recorder.procedures().end_program = [&ended] { ++ended; };
    h.recorder.end_session();
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(h.dialogs.messages.empty()) << h.dialogs.messages.front().text;
    files::SettingsRecord settings;
    ASSERT_TRUE(files::read_settings(folder.file(files::kSettingsFileName), settings));
    EXPECT_EQ(settings.span1, 50000.0f);
    EXPECT_EQ(testing::journals_in(folder.path()).size(), 1u);
    h.end_program();
  }
  RecorderHarness base(Transport::Usb, folder.path() + "/stand-ins only");
  testing::ScriptedDialogs dialogs;
  dialogs.message_answers = {MessageAnswer::Yes};
  auto recorder = start_answering(base, dialogs, folder.path());
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text.rfind("Recover the unsaved recording?", 0), 0u);
  const RecorderState& s = recorder->state();
  EXPECT_EQ(s.recorded_count(), samples) << "every sample up to the session's end";
  EXPECT_EQ(s.held, held);
  EXPECT_EQ(s.span1, 50000.0f);
  EXPECT_EQ(recorder->window()["nt1"].caption, "Notes:");
}

TEST(SessionEnd, WithNothingUnsavedLeavesNoJournalToOffer) {
  testing::TempFolder folder;
  {
    RecorderHarness h(Transport::Usb, folder.path());
    TimerClock clock(h.recorder);
    h.library.use_source(1, h.library.model(1));
    h.connect();
    h.recorder.press("crec");
    clock.advance(3000);
    h.recorder.press("crec");
    ASSERT_TRUE(h.recorder.press("psave"));
    h.recorder.end_session();
    EXPECT_TRUE(h.dialogs.messages.empty());
    EXPECT_TRUE(testing::journals_in(folder.path()).empty());
    EXPECT_TRUE(std::filesystem::exists(folder.file(files::kSettingsFileName)));
  }
  RecorderHarness again(Transport::Usb, folder.path());
  EXPECT_TRUE(again.dialogs.messages.empty()) << "nothing to recover";
}

// In a child process under a small file-size limit, as `ulimit -f` sets one: with the program's
// signal set-up a Save past the limit fails with a message and the recording stays; without it the
// kernel's SIGXFSZ would end the child.
TEST(FileSizeLimit, ASavePastTheLimitIsReportedAndTheProgramGoesOn) {
  testing::TempFolder folder;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    platform::let_oversized_writes_fail();
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 300000;
    setrlimit(RLIMIT_FSIZE, &limit);
    RecorderHarness h(Transport::Usb, folder.path());
    RecorderState& s = h.state();
    for (int i = 1; i <= 30000; ++i) s.append(float(i), -float(i), 20, 30);  // 21 records
    s.shown_count = s.rec_next;
    const bool saved = h.recorder.press("psave");
    const bool told = !h.dialogs.messages.empty() &&
                      h.dialogs.messages.back().text.find("File too large") != std::string::npos;
    const bool kept = s.rec_next == 30001.0f && s.rec_cur1[30000] == 30000.0f;
    const bool no_temporary = testing::files_named_with(folder.path(), ".saving").empty();
    _exit((saved ? 0 : 1) | (told ? 0 : 2) | (kept ? 0 : 4) | (no_temporary ? 0 : 8));
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_FALSE(WIFSIGNALED(status)) << "the child ended by signal " << WTERMSIG(status);
  // 1: Save did not run, 2: no "File too large" message, 4: the recording changed,
  // 8: a temporary was left.
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A settings frame is a whole record; a held stretch that grows at every tick must not add one at
// every journal write. The list still reaches the journal, and whole when the recording stops.
TEST(SilentUnitJournal, AStretchGrowingForMinutesAddsAFrameAMinuteAndIsWholeAtStop) {
  testing::TempFolder folder;
  RecorderHarness h(Transport::Usb, folder.path());
  TimerClock clock(h.recorder);
  h.connect();
  h.recorder.press("crec");
  clock.advance(3000);
  for (int n = 0; n < 400; ++n) h.meter.push_busy();  // 200 s of a meter stuck busy
  clock.advance(200000);
  const std::vector<std::string> journals = testing::journals_in(folder.path());
  ASSERT_EQ(journals.size(), 1u);
  const auto size = std::filesystem::file_size(journals.front());
  // 71 journal writes; with a settings frame at each the journal would pass 1.8 MB.
  EXPECT_LT(size, 8 * files::kRecordBytes) << size;
  h.recorder.press("crec");  // Stop: the list goes to the journal whole
  clock.advance(700);
  const HeldStretches held = h.state().held;
  ASSERT_EQ(held.list().size(), 1u);
  EXPECT_GE(held.list()[0].count(), 399u);
  h.end_program();

  RecorderHarness base(Transport::Usb, folder.path() + "/stand-ins only");
  testing::ScriptedDialogs dialogs;
  dialogs.message_answers = {MessageAnswer::Yes};
  auto recorder = start_answering(base, dialogs, folder.path());
  EXPECT_EQ(recorder->state().held, held);
}

}  // namespace
}  // namespace zetra
