// The recovery journal through the recorder: it follows a recording, survives an abrupt end,
// is offered back at start-up, goes away with a Save or an answered exit, follows edits, and a
// torn or failing write never costs what was journaled before.
#include "recorder/files/recovery_journal.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include <algorithm>
#include <ctime>
#include <cstring>
#include <filesystem>

#include "platform/file_system.h"
#include "recorder/files/files_subsystem.h"
#include "recorder/numbers/number_format.h"
#ifndef _WIN32
#include "tests/recorder/files/plain_user.h"
#endif
#include "tests/recorder/files/temp_folder.h"
#include "tests/reliability/recording_driver.h"
#include "tests/support/recorder_harness.h"

namespace zetra::files {
namespace {

using platform::MessageAnswer;
using testing::RecorderHarness;
using testing::TimerClock;
using testing::Transport;

class JournalTest : public ::testing::Test {
 protected:
  // A recorder in the temporary folder, its unit fed by the realistic meter model.
  std::unique_ptr<RecorderHarness> start(std::deque<MessageAnswer> answers = {}) {
    auto h = std::make_unique<RecorderHarness>(Transport::Usb, folder.path());
    h->dialogs.message_answers = std::move(answers);
    return h;
  }
  // A recorder on the stand-ins of `base` whose dialogs already hold their answers when it starts
  // (the harness starts its recorder before a test can queue any).
  std::unique_ptr<Recorder> start_answering(RecorderHarness& base, testing::ScriptedDialogs& d) {
    auto r = std::make_unique<Recorder>(Platform{base.serial, base.library, d, base.pause,
                                                 base.clipboard, folder.path(), &base.printer,
                                                 &base.frame});
    r->start();
    return r;
  }
  RecoveryJournal& journal(RecorderHarness& h) { return h.recorder.files().journal; }
  // The one journal in the folder; when there is none, a name a journal could have.
  std::string journal_path() const {
    const auto journals = testing::journals_in(folder.path());
    return journals.empty() ? folder.file("zetrat-test00.journal") : journals.front();
  }

  void record(RecorderHarness& h, TimerClock& clock, int64_t ms) {
    h.library.use_source(1, h.library.model(1));
    if (h.window()["conoff"].caption != "Off") h.connect();
    if (h.window()["crec"].caption != "Stop") h.recorder.press("crec");
    clock.advance(ms);
  }

  testing::TempFolder folder;
};

TEST_F(JournalTest, FollowsTheRecordingEveryFewSecondsAndAtStop) {
  auto h = start();
  TimerClock clock(h->recorder);
  EXPECT_FALSE(std::filesystem::exists(journal_path()));
  record(*h, clock, 700);  // the first Timer3 tick of the recording starts the journal
  ASSERT_TRUE(journal(*h).active()) << journal(*h).error();
  EXPECT_TRUE(std::filesystem::exists(journal_path()));
  for (int second = 0; second < 30; ++second) {
    clock.advance(1000);
    const auto held = static_cast<size_t>(h->state().rec_next);
    // Never more than a journal period (plus the tick in progress) behind.
    EXPECT_GE(journal(*h).journaled_end() + 2 * kJournalTicks * 700 / 500, held) << second;
  }
  h->recorder.press("crec");  // Stop: the next Timer3 tick writes the rest at once
  clock.advance(700);
  EXPECT_EQ(journal(*h).journaled_end(), static_cast<size_t>(h->state().rec_next));
  EXPECT_GT(h->state().rec_next, 55.0f);  // 31 s at 2 samples a second
  EXPECT_EQ(journal(*h).error(), "");
}

TEST_F(JournalTest, AnAbruptEndLeavesItAndStartUpAsksNoRemovesIt) {
  {
    auto h = start();
    TimerClock clock(h->recorder);
    record(*h, clock, 5000);
    h->end_program();  // no exit question: as if the process had died
  }
  ASSERT_TRUE(std::filesystem::exists(journal_path()));
  RecorderHarness elsewhere(Transport::Usb, folder.path() + "/elsewhere");
  EXPECT_TRUE(elsewhere.dialogs.messages.empty()) << "no journal there, no question";

  testing::ScriptedDialogs dialogs;
  dialogs.message_answers = {MessageAnswer::No};
  auto recorder = start_answering(elsewhere, dialogs);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text.rfind("Recover the unsaved recording?", 0), 0u);
  EXPECT_EQ(dialogs.messages[0].buttons, platform::MessageButtons::YesNo);
  EXPECT_FALSE(std::filesystem::exists(journal_path())) << "No removes the journal";
  EXPECT_EQ(recorder->state().rec_next, 1.0f);
}

// The question says what it would bring back: the file's name, when the journal began, how long
// the recording is and how many samples it holds, as the journal has them.
TEST_F(JournalTest, TheQuestionNamesTheFileTheStartTheLengthAndTheSamples) {
  size_t journaled = 0;
  {
    auto h = start();
    h->state().file_name = folder.file("run-12.ztr");
    TimerClock clock(h->recorder);
    record(*h, clock, 20000);
    h->recorder.press("crec");
    clock.advance(700);  // Stop: the journal has every sample
    journaled = journal(*h).journaled_end() - 1;
    h->end_program();
  }
  platform::FileStatus lock;  // made when the journal began
  ASSERT_EQ(platform::examine(lock_path_of(journal_path()), lock), 0);
  const auto began_s = static_cast<std::time_t>(lock.mtime_ns / 1000000000);
  std::tm local{};
  localtime_r(&began_s, &local);
  testing::ScriptedDialogs dialogs;
  dialogs.message_answers = {MessageAnswer::No};
  RecorderHarness base(Transport::Usb, folder.path() + "/other");
  auto recorder = start_answering(base, dialogs);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text,
            "Recover the unsaved recording?\n\nrun-12.ztr, started " +
                numbers::format_date_time(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                          local.tm_hour, local.tm_min) +
                ", " + numbers::format_clock(static_cast<double>(journaled) / 2) + " long, " +
                numbers::format_count(static_cast<double>(journaled)) + " samples");
  EXPECT_GT(journaled, 30u);
}

TEST_F(JournalTest, YesLoadsEverySampleUpToTheLastJournalWrite) {
  size_t journaled = 0;
  uint64_t expected = 0;
  {
    auto h = start();
    TimerClock clock(h->recorder);
    h->recorder.press("ppn5000");
    h->window()["nt1"].caption = "Notes: run 12";
    record(*h, clock, 20000);
    journaled = journal(*h).journaled_end() - 1;
    expected = testing::samples_hash(h->state(), journaled);
    h->end_program();
  }
  testing::ScriptedDialogs dialogs;
  dialogs.message_answers = {MessageAnswer::Yes};
  RecorderHarness base(Transport::Usb, folder.path() + "/other");  // stand-ins only
  auto owned = start_answering(base, dialogs);
  Recorder& recorder = *owned;
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text.rfind("Recover the unsaved recording?", 0), 0u);
  const RecorderState& s = recorder.state();
  ASSERT_EQ(s.rec_next, static_cast<float>(journaled + 1));
  EXPECT_EQ(testing::samples_hash(s, journaled), expected);
  EXPECT_EQ(s.span1, 50000.0f);
  EXPECT_TRUE(recorder.window()["ppn5000"].checked);
  EXPECT_EQ(recorder.window()["nt1"].caption.substr(0, 13), "Notes: run 12");
  EXPECT_EQ(s.shown_count, s.rec_next);
  EXPECT_EQ(s.file_name, folder.file("file1.ztr"));
  EXPECT_FALSE(std::filesystem::exists(folder.file("file1.ztr"))) << "nothing saved yet";
  EXPECT_TRUE(std::filesystem::exists(journal_path())) << "kept until the recording is saved";
  EXPECT_TRUE(s.unsaved()) << "a recovered recording is on no file yet";
  EXPECT_EQ(recorder.window()["stfield"].caption, "Unsaved changes");

  recorder.press("psave");  // a successful Save removes it
  EXPECT_FALSE(s.unsaved());
  EXPECT_TRUE(std::filesystem::exists(folder.file("file1.ztr")));
  EXPECT_FALSE(std::filesystem::exists(journal_path()));
}

TEST_F(JournalTest, SaveAndAnsweredExitRemoveItAFailedSaveAndCancelKeepIt) {
  auto h = start();
  TimerClock clock(h->recorder);
  record(*h, clock, 5000);
  h->recorder.press("crec");
  clock.advance(700);
  ASSERT_TRUE(std::filesystem::exists(journal_path()));

  h->state().file_name = folder.file("no/such/folder/run.ztr");
  h->recorder.press("psave");  // fails: told, journal kept
  EXPECT_NE(h->dialogs.messages.back().text.find("Cannot save"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(journal_path()));

  h->dialogs.message_answers = {MessageAnswer::Cancel};
  h->recorder.press("pexit");
  EXPECT_TRUE(std::filesystem::exists(journal_path())) << "Cancel keeps the program and journal";

  h->dialogs.file_answers = {folder.file("run.ztr")};
  h->recorder.press("psaveas");
  EXPECT_TRUE(std::filesystem::exists(folder.file("run.ztr")));
  EXPECT_FALSE(std::filesystem::exists(journal_path()));

  record(*h, clock, 5000);  // recording again: a new journal with everything unsaved
  ASSERT_TRUE(std::filesystem::exists(journal_path()));
  h->recorder.press("crec");
  h->dialogs.message_answers = {MessageAnswer::No};
  h->recorder.press("pexit");
  EXPECT_FALSE(std::filesystem::exists(journal_path())) << "an answered exit removes it";

  record(*h, clock, 5000);
  h->recorder.press("crec");
  clock.advance(700);
  ASSERT_TRUE(std::filesystem::exists(journal_path()));
  h->state().file_name = folder.file("same.ztr");
  h->recorder.press("csave");  // Save to the current name
  h->recorder.press("csave");  // again over the same name: still counts as saved
  EXPECT_FALSE(std::filesystem::exists(journal_path()));
}

// Reads the journal on disk the way start-up does.
LoadedRecording read_journal(const std::string& path) {
  const auto bytes = testing::read_bytes(path);
  LoadedRecording loaded;
  std::string error;
  EXPECT_TRUE(parse_journal(bytes.data(), bytes.size(), loaded, error)) << error;
  return loaded;
}

TEST_F(JournalTest, EditsAndANewMemorySizeAreFollowedNotAppendedOver) {
  auto h = start();
  TimerClock clock(h->recorder);
  record(*h, clock, 10000);
  RecorderState& s = h->state();
  // An edit in examination mode while recording: a stretch changes, then the redraw every
  // edit ends with.
  for (int i = 3; i < 9; ++i) s.rec_cur1[i] = -12345.0f;
  Procedures::call(h->recorder.procedures().r_line);
  clock.advance(3000);
  LoadedRecording loaded = read_journal(journal_path());
  EXPECT_EQ(loaded.cur1[5], -12345.0f);
  const auto end = journal(*h).journaled_end();
  EXPECT_EQ(loaded.header.rec_next, static_cast<float>(end));
  for (size_t i = 1; i < end; ++i) ASSERT_EQ(loaded.cur2[i], s.rec_cur2[i]) << i;

  h->recorder.press("crec");
  h->recorder.press("conoff");  // the Setup menu is open only with the link off
  h->dialogs.message_answers = {MessageAnswer::No};  // unsaved: go on without saving
  ASSERT_TRUE(h->recorder.press("pr200"));  // a new store: the samples are gone, rec_next stays
  clock.advance(3000);
  loaded = read_journal(journal_path());
  EXPECT_EQ(loaded.header.rec_capacity, 200000.0f);
  EXPECT_EQ(loaded.cur1[5], 0.0f);

  h->dialogs.message_answers = {MessageAnswer::Ok};
  h->recorder.press("pcleara");  // Delete all, confirmed
  ASSERT_EQ(s.rec_next, 1.0f);
  clock.advance(3000);
  EXPECT_FALSE(std::filesystem::exists(journal_path())) << "nothing left to recover";

  ASSERT_TRUE(h->recorder.press("pundo"));  // the samples are back, and so is their journal
  ASSERT_GT(s.rec_next, 1.0f);
  clock.advance(3000);
  ASSERT_TRUE(std::filesystem::exists(journal_path()));
  EXPECT_EQ(read_journal(journal_path()).header.rec_next, s.rec_next);
}

TEST_F(JournalTest, ATornLastFrameCostsOnlyThatFrame) {
  auto h = start();
  TimerClock clock(h->recorder);
  record(*h, clock, 8000);
  const auto whole = testing::read_bytes(journal_path());
  size_t frames = 0;
  LoadedRecording full;
  std::string error;
  ASSERT_TRUE(parse_journal(whole.data(), whole.size(), full, error, &frames)) << error;
  ASSERT_GE(frames, 3u);
  // Every truncation: either refused (no whole settings frame) or a prefix of the samples.
  for (size_t cut = 0; cut < whole.size(); cut += (cut < kRecordBytes + 64 ? 1 : 7)) {
    LoadedRecording part;
    size_t n = 0;
    const bool ok = parse_journal(whole.data(), cut, part, error, &n);
    ASSERT_EQ(ok, cut >= kRecordBytes + kFrameOverhead) << cut;
    if (!ok) continue;
    ASSERT_LE(part.header.rec_next, full.header.rec_next);
    for (size_t i = 1; i < static_cast<size_t>(part.header.rec_next); ++i) {
      ASSERT_EQ(part.temp2[i], full.temp2[i]) << cut << " " << i;
    }
  }
  // A flipped byte in the last frame: that frame is dropped, the rest stays.
  auto bad = whole;
  bad[bad.size() - 20] ^= 0x40;
  LoadedRecording part;
  size_t n = 0;
  ASSERT_TRUE(parse_journal(bad.data(), bad.size(), part, error, &n));
  EXPECT_EQ(n, frames - 1);
  EXPECT_LT(part.header.rec_next, full.header.rec_next);
}

TEST_F(JournalTest, EveryFailingWriteStepKeepsThePreviousJournalAndCatchesUpAfterwards) {
  for (int step = 0; step < 12; ++step) {
    auto h = start();
    TimerClock clock(h->recorder);
    record(*h, clock, 5000);  // journal started and appended to
    const auto before = testing::read_bytes(journal_path());
    const size_t journaled = journal(*h).journaled_end();
    FaultPlan faults{step};
    journal(*h).faults = &faults;
    clock.advance(3000);
    if (faults.steps > step) {
      EXPECT_NE(journal(*h).error().find("simulated failure"), std::string::npos) << step;
      // What was journaled before is still there, whole.
      const auto now = testing::read_bytes(journal_path());
      LoadedRecording loaded;
      std::string error;
      ASSERT_TRUE(parse_journal(now.data(), now.size(), loaded, error)) << step << error;
      EXPECT_GE(loaded.header.rec_next, static_cast<float>(journaled)) << step;
      EXPECT_GE(now.size(), before.size()) << step;
    }
    journal(*h).faults = nullptr;
    clock.advance(3000);  // the next write succeeds and brings everything in
    EXPECT_EQ(journal(*h).error(), "") << step;
    h->recorder.press("crec");
    clock.advance(700);
    const LoadedRecording loaded = read_journal(journal_path());
    EXPECT_EQ(loaded.header.rec_next, h->state().rec_next) << step;
    for (size_t i = 1; i < static_cast<size_t>(loaded.header.rec_next); ++i) {
      ASSERT_EQ(loaded.cur1[i], h->state().rec_cur1[i]) << step << " " << i;
      ASSERT_EQ(loaded.temp2[i], h->state().rec_temp2[i]) << step << " " << i;
    }
    h->end_program();
    std::filesystem::remove(journal_path());
  }
}

TEST_F(JournalTest, AnUnreadableJournalIsReportedAndSetAside) {
  testing::write_bytes(journal_path(), std::vector<uint8_t>(100, 0xAB));
  testing::ScriptedDialogs dialogs;
  dialogs.message_answers = {MessageAnswer::Yes};
  RecorderHarness base(Transport::Usb, folder.path() + "/other");
  auto owned = start_answering(base, dialogs);
  Recorder& recorder = *owned;
  ASSERT_EQ(dialogs.messages.size(), 2u);
  EXPECT_NE(dialogs.messages[1].text.find("Cannot recover the recording from " + journal_path()),
            std::string::npos)
      << dialogs.messages[1].text;
  EXPECT_FALSE(std::filesystem::exists(journal_path()));
  EXPECT_TRUE(std::filesystem::exists(journal_path() + ".unreadable"));
  EXPECT_EQ(recorder.state().rec_next, 1.0f);
}

TEST_F(JournalTest, RecoveryRestoresTheFileNameAndSaveAsksBeforeReplacingAFileChangedSince) {
  const std::string run = folder.file("run.ztr"), other = folder.file("other.ztr");
  {  // Two programs at once, so that neither is offered the other's journal.
    std::vector<std::unique_ptr<RecorderHarness>> programs;
    for (const std::string& name : {run, other}) {
      programs.push_back(start());
      RecorderHarness& h = *programs.back();
      TimerClock clock(h.recorder);
      record(h, clock, 3000);
      h.recorder.press("crec");
      h.dialogs.file_answers = {name};
      h.recorder.press("psaveas");  // saved: the journal goes
      ASSERT_EQ(h.state().file_name, name);
      const float saved = h.state().rec_next;
      record(h, clock, 5000);  // more samples, unsaved: journaled with the file's name
      ASSERT_GT(h.state().rec_next, saved);
      ASSERT_TRUE(h.dialogs.messages.empty());
    }
    for (auto& h : programs) h->end_program();
  }
  testing::write_bytes(run, std::vector<uint8_t>(100, 7));  // changed by someone else since
  const auto changed = testing::read_bytes(run);
  const auto other_before = testing::read_bytes(other);
  ASSERT_EQ(testing::journals_in(folder.path()).size(), 2u);

  std::vector<std::string> recovered;
  for (int restart = 0; restart < 2; ++restart) {
    testing::ScriptedDialogs dialogs;
    dialogs.message_answers = {MessageAnswer::Yes};
    RecorderHarness base(Transport::Usb, folder.path() + "/other");
    auto recorder = start_answering(base, dialogs);
    const RecorderState& s = recorder->state();
    const std::string expected = s.file_name;
    ASSERT_TRUE(expected == run || expected == other) << expected;
    ASSERT_EQ(std::count(recovered.begin(), recovered.end(), expected), 0);
    recovered.push_back(expected);
    EXPECT_EQ(s.window_caption, "ZetraII [ " + expected + " ]");
    const float held = s.rec_next;
    if (expected == other) {
      recorder->press("psave");  // unchanged on disk: no question
      EXPECT_EQ(dialogs.messages.size(), 1u);
      EXPECT_EQ(testing::float_at(testing::read_bytes(other), 4), held);
      EXPECT_NE(testing::read_bytes(other), other_before);
      continue;
    }
    const size_t journals = testing::journals_in(folder.path()).size();
    dialogs.file_answers = {run};  // Save as to the same name asks just the same
    recorder->press("psaveas");
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].text, run + " already exists. Replace it?");
    EXPECT_EQ(dialogs.messages[1].title, "Save a file as");
    EXPECT_EQ(testing::read_bytes(run), changed) << "no answer counts as No";
    dialogs.messages.pop_back();
    dialogs.message_answers = {MessageAnswer::No};
    recorder->press("psave");
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].text, run + " already exists. Replace it?");
    EXPECT_EQ(dialogs.messages[1].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(testing::read_bytes(run), changed) << "No leaves the other file alone";
    EXPECT_EQ(testing::journals_in(folder.path()).size(), journals) << "and keeps the journal";
    dialogs.message_answers = {MessageAnswer::Yes};
    recorder->press("psave");
    EXPECT_EQ(testing::float_at(testing::read_bytes(run), 4), held);
    EXPECT_EQ(testing::journals_in(folder.path()).size(), journals - 1);
    recorder->press("psave");  // written by this program now: no more questions
    EXPECT_EQ(dialogs.messages.size(), 3u);
  }
}

TEST_F(JournalTest, AJournalOfTheOneNameOfOlderVersionsIsOfferedToo) {
  {
    auto h = start();
    TimerClock clock(h->recorder);
    record(*h, clock, 5000);
    h->end_program();
  }
  const std::string old = folder.file(kOldJournalFileName);
  std::filesystem::rename(journal_path(), old);
  testing::ScriptedDialogs dialogs;
  dialogs.message_answers = {MessageAnswer::Yes};
  RecorderHarness base(Transport::Usb, folder.path() + "/other");
  auto recorder = start_answering(base, dialogs);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_GT(recorder->state().rec_next, 5.0f);
  EXPECT_FALSE(std::filesystem::exists(old)) << "carried on in the program's own journal";
  EXPECT_EQ(testing::journals_in(folder.path()).size(), 1u);
}

TEST_F(JournalTest, AFailingJournalIsToldOnceAndShownInTheStatusFieldUntilItWritesAgain) {
  auto h = start();
  TimerClock clock(h->recorder);
  record(*h, clock, 3000);
  ASSERT_EQ(journal(*h).error(), "");
  const auto notices = [&] { return h->state().journal_notice; };
  for (int sync = 0; sync < 3; ++sync) {  // every write fails at its first step
    FaultPlan faults{0};
    journal(*h).faults = &faults;
    clock.advance(4 * 700);
  }
  ASSERT_EQ(h->dialogs.messages.size(), 1u) << "told once";
  const std::string told = h->dialogs.messages[0].text;
  EXPECT_NE(told.find("recovery journal in " + folder.path()), std::string::npos) << told;
  EXPECT_NE(told.find("simulated failure"), std::string::npos) << told;
  // Save is locked while recording: the way to keep the samples is Stop first.
  EXPECT_NE(told.find("Stop the recording, then Save it to keep them."), std::string::npos) << told;
  EXPECT_EQ(notices().rfind("Recovery journal not written: ", 0), 0u) << notices();
  EXPECT_NE(h->window()["stfield"].caption.find("Recovery journal not written"), std::string::npos);

  journal(*h).faults = nullptr;
  clock.advance(4 * 700);
  EXPECT_EQ(notices(), "");
  EXPECT_EQ(h->window()["stfield"].caption.find("Recovery journal"), std::string::npos);
  FaultPlan again{0};
  journal(*h).faults = &again;
  clock.advance(4 * 700);
  EXPECT_EQ(h->dialogs.messages.size(), 1u) << "a journal that keeps failing is told of once";
  EXPECT_NE(notices(), "");
  journal(*h).faults = nullptr;

  // Saved, the journal goes; the next one's first failure is told again.
  h->recorder.press("crec");
  ASSERT_TRUE(h->recorder.press("psave"));
  EXPECT_EQ(notices(), "");
  record(*h, clock, 700);
  FaultPlan next{0};
  journal(*h).faults = &next;
  clock.advance(4 * 700);
  journal(*h).faults = nullptr;
  EXPECT_EQ(h->dialogs.messages.size(), 2u);
}

// Stopped, a failing journal no longer speaks of Stop: Save is there to press.
TEST_F(JournalTest, AFailureAfterStopSaysSave) {
  auto h = start();
  TimerClock clock(h->recorder);
  record(*h, clock, 3000);
  h->recorder.press("crec");
  clock.advance(700);  // the stop's own sync
  ASSERT_TRUE(journal(*h).active()) << journal(*h).error();
  h->window()["nt1"].caption = "Notes: changed after the stop";
  h->window().invoke("nt1");
  FaultPlan stopped{0};
  journal(*h).faults = &stopped;
  clock.advance(4 * 700);
  journal(*h).faults = nullptr;
  ASSERT_EQ(h->dialogs.messages.size(), 1u);
  const std::string told = h->dialogs.messages[0].text;
  EXPECT_NE(told.find(". Save the recording to keep them."), std::string::npos) << told;
  EXPECT_EQ(told.find("Stop"), std::string::npos) << told;
}

// A recovery whose new journal cannot be written keeps the old journal (nothing else holds the
// recording), and holds its lock so that no other start offers it; once the recording is saved the
// old journal goes too, and the next start asks nothing.
TEST_F(JournalTest, ARecoveryWhoseNewJournalFailsKeepsTheOldOneUntilTheRecordingIsSaved) {
  {
    auto h = start();
    TimerClock clock(h->recorder);
    record(*h, clock, 5000);
    h->end_program();
  }
  const std::string old = journal_path();
  RecorderHarness base(Transport::Usb, folder.path() + "/other");
  testing::ScriptedDialogs dialogs;
  dialogs.message_answers = {MessageAnswer::Yes};
  Recorder recorder(Platform{base.serial, base.library, dialogs, base.pause, base.clipboard,
                             folder.path(), &base.printer, &base.frame});
  FaultPlan full_disk{0};  // the new journal's first write fails
  recorder.files().journal.faults = &full_disk;
  recorder.start();
  ASSERT_GE(dialogs.messages.size(), 2u);
  EXPECT_EQ(dialogs.messages[0].text.rfind("Recover the unsaved recording?", 0), 0u);
  EXPECT_NE(dialogs.messages[1].text.find("cannot be written"), std::string::npos);
  ASSERT_GT(recorder.state().rec_next, 2.0f);
  EXPECT_TRUE(std::filesystem::exists(old)) << "the only copy on disk stays";
  EXPECT_TRUE(orphaned_journals(folder.path()).empty()) << "and no other start offers it";

  recorder.press("psave");
  EXPECT_TRUE(std::filesystem::exists(folder.file("file1.ztr")));
  EXPECT_FALSE(std::filesystem::exists(old)) << "saved: the old journal goes";
  EXPECT_TRUE(testing::journals_in(folder.path()).empty());
  testing::ScriptedDialogs next;
  auto again = start_answering(base, next);
  EXPECT_TRUE(next.messages.empty()) << "nothing to recover a second time";
}

// A child process with a file-size limit is a POSIX way to fill the disk; on Windows the injected
// faults above stand for it.
#ifndef _WIN32
// The disk really filling up (a file-size limit in a child process): the recording goes on, the
// user is told with the system's reason, and once there is room the journal catches up.
TEST_F(JournalTest, AFullDiskStopsTheJournalNotTheRecordingAndTheUserIsTold) {
  auto h = start();
  TimerClock clock(h->recorder);
  record(*h, clock, 700);
  ASSERT_TRUE(journal(*h).active());
  const int result = testing::in_child([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{30000, RLIM_INFINITY};
    ::setrlimit(RLIMIT_FSIZE, &small);
    clock.advance(300 * 1000);  // 600 samples: far more than the journal has room for
    if (h->state().rec_next < 550) return 10;
    if (h->dialogs.messages.size() != 1) return 11;
    if (h->dialogs.messages[0].text.find("File too large") == std::string::npos) return 12;
    if (h->state().journal_notice.find("File too large") == std::string::npos) return 13;
    // The failed appends were taken back: the journal ends with a whole frame.
    const auto full = testing::read_bytes(journal_path());
    size_t at = 0;
    while (full.size() - at >= kFrameOverhead)
      at += kFrameOverhead + testing::uint32_at(full, at + 8);
    if (at != full.size()) return 17;
    const rlimit room{RLIM_INFINITY, RLIM_INFINITY};
    ::setrlimit(RLIMIT_FSIZE, &room);
    clock.advance(3000);
    if (!h->state().journal_notice.empty() || !journal(*h).error().empty()) return 14;
    const auto bytes = testing::read_bytes(journal_path());
    LoadedRecording loaded;
    std::string error;
    if (!parse_journal(bytes.data(), bytes.size(), loaded, error)) return 15;
    return loaded.header.rec_next + 10 >= h->state().rec_next ? 0 : 16;
  });
  EXPECT_EQ(result, 0);
}
#endif  // _WIN32

}  // namespace
}  // namespace zetra::files
