// Faults injected while the operator works: the disk refusing more bytes during Save, every
// failure point of the file writers through the window, a device library whose calls start
// failing during a recording, and a serial port that disappears during one.
// Pool failures at every allocation site of the driver: tests/driver/pool_failure_test.cpp.
// The recording file writer swept on its own: tests/recorder/files/recording_file_test.cpp.
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>

#include "recorder/files/files_subsystem.h"
#include "recorder/files/settings_file.h"
#include "tests/recorder/files/temp_folder.h"
#include "tests/reliability/recording_driver.h"
#include "tests/support/fake_clock.h"
#include "tests/support/recorder_harness.h"

namespace zetra {
namespace {

using platform::MessageAnswer;
using testing::HeldSamples;
using testing::RecorderHarness;
using testing::TimerClock;
using testing::Transport;

// Puts n distinct samples into the store.
void fill(RecorderState& s, int n, float base) {
  for (int i = 1; i <= n; ++i) {
    s.rec_cur1[i] = base + static_cast<float>(i);
    s.rec_cur2[i] = base - static_cast<float>(i);
    s.rec_temp1[i] = 20 + static_cast<float>(i % 100) / 100;
    s.rec_temp2[i] = 30 + static_cast<float>(i % 100) / 100;
  }
  s.rec_next = static_cast<float>(n + 1);
  s.shown_count = s.rec_next;
}

// The file-size limit of the kernel is a Linux (POSIX) resource limit; Windows has none, and
// its full-disk path is swept by the injected faults below.
#ifndef _WIN32
// The kernel's limit on file size, lowered for one scope: a write past it fails as it would on a
// full disk (the signal that would end the process is ignored meanwhile).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    old_handler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit lower = saved_;
    lower.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lower);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, old_handler_);
  }

 private:
  rlimit saved_{};
  sighandler_t old_handler_;
};

TEST(DiskFull, SaveThatRunsOutOfRoomKeepsTheOldFileAndTheRecordingAndTellsTheUser) {
  testing::TempFolder folder;
  RecorderHarness h(Transport::Usb, folder.path());
  RecorderState& s = h.state();
  fill(s, 20000, 0);
  ASSERT_TRUE(h.recorder.press("psave"));
  const std::string path = folder.file("file1.ztr");
  const auto old = testing::read_bytes(path);
  ASSERT_EQ(old.size(), 14 * files::kRecordBytes);

  fill(s, 60000, 5000);  // 41 records: far more than the room left
  ++s.revision;          // filled by hand: the change a recording would have noted
  const HeldSamples held = testing::held_samples(s, 60000);
  {
    FileSizeLimit limit(500000);
    h.recorder.press("csave");
  }
  ASSERT_FALSE(h.dialogs.messages.empty());
  const std::string told = h.dialogs.messages.back().text;
  EXPECT_NE(told.find("Cannot save " + path), std::string::npos) << told;
  EXPECT_NE(told.find("File too large"), std::string::npos) << told;
  EXPECT_EQ(testing::read_bytes(path), old) << "the old file survives whole";
  EXPECT_TRUE(testing::files_named_with(folder.path(), ".saving").empty());
  EXPECT_EQ(s.rec_next, 60001.0f);
  EXPECT_TRUE(testing::held_samples(s, 60000) == held) << "the recording is still held";

  // Exit with Yes while the disk is still full: the program stays open with the data.
  {
    FileSizeLimit limit(500000);
    h.dialogs.message_answers = {MessageAnswer::Yes};
    int ended = 0;
    h.recorder.procedures().end_program = [&] { ++ended; };
    h.recorder.press("pexit");
    EXPECT_EQ(ended, 0);
  }
  // Room again: the same Save now goes through.
  h.recorder.press("csave");
  const auto now = testing::read_bytes(path);
  ASSERT_EQ(now.size(), 41 * files::kRecordBytes);
  EXPECT_EQ(testing::float_at(now, 4), 60001.0f);
}
#endif  // _WIN32

TEST(WriterFaults, EveryFailingStepOfSaveThroughTheWindowKeepsTheOldFileAndTellsTheUser) {
  testing::TempFolder folder;
  RecorderHarness h(Transport::Usb, folder.path());
  RecorderState& s = h.state();
  fill(s, 3000, 0);
  ASSERT_TRUE(h.recorder.press("psave"));
  const std::string path = folder.file("file1.ztr");
  const auto old = testing::read_bytes(path);
  fill(s, 4600, 100);
  int failures = 0;
  for (int step = 0;; ++step) {
    files::FaultPlan faults{step};
    h.recorder.files().recording.faults = &faults;
    const size_t told = h.dialogs.messages.size();
    h.recorder.press("psave");
    h.recorder.files().recording.faults = nullptr;
    EXPECT_TRUE(testing::files_named_with(folder.path(), ".saving").empty()) << step;
    if (h.dialogs.messages.size() == told) {
      EXPECT_EQ(testing::float_at(testing::read_bytes(path), 4), 4601.0f);
      break;
    }
    ++failures;
    EXPECT_NE(h.dialogs.messages.back().text.find("simulated failure"), std::string::npos);
    ASSERT_EQ(testing::read_bytes(path), old) << "after a failure at step " << step;
    ASSERT_LT(step, 100);
  }
  // Open, the writes (however the records are batched), flush, replace.
  EXPECT_GE(failures, 4);
}

TEST(WriterFaults, EveryFailingStepOfTheSettingsFileKeepsTheOldOneAndTellsTheUserAtExit) {
  testing::TempFolder folder;
  RecorderHarness h(Transport::Usb, folder.path());
  const std::string path = folder.file(files::kSettingsFileName);
  ASSERT_TRUE(h.recorder.files().settings.zetrasave());
  const auto old = testing::read_bytes(path);
  ASSERT_EQ(old.size(), files::kSettingsBytes);
  h.recorder.press("ppn5000");  // a change the failed writes must not half-store
  ++h.state().revision;  // unsaved samples: every Exit asks first, and No never saves them
  for (int step = 0;; ++step) {
    files::FaultPlan faults{step};
    h.recorder.files().settings.faults = &faults;
    h.dialogs.message_answers = {MessageAnswer::No};
    const size_t told = h.dialogs.messages.size();
    h.recorder.press("pexit");
    h.recorder.files().settings.faults = nullptr;
    if (h.dialogs.messages.size() == told + 1) {  // only the exit question: written
      files::SettingsRecord r;
      ASSERT_TRUE(files::read_settings(path, r));
      EXPECT_EQ(r.span1, 50000.0f);
      break;
    }
    EXPECT_NE(h.dialogs.messages.back().text.find("Cannot save the settings to " + path),
              std::string::npos);
    ASSERT_EQ(testing::read_bytes(path), old) << step;
    ASSERT_LT(step, 20);
  }
}

// Forwards to the stand-in library until told to fail; from then on every call returns 0
// (failure) and leaves its output arguments untouched, as a library whose unit is gone does.
class FailingLibrary final : public platform::DeviceLibrary {
 public:
  explicit FailingLibrary(platform::DeviceLibrary& inner) : inner_(inner) {}
  bool failing = false;
  int refused = 0;

  bool load() override { return inner_.load(); }
  int32_t open_device(uint8_t d) override { return pass() ? inner_.open_device(d) : 0; }
  int32_t close_device(uint8_t d) override { return pass() ? inner_.close_device(d) : 0; }
  int32_t usr_config(uint8_t d, uint8_t& c) override { return pass() ? inner_.usr_config(d, c) : 0; }
  int32_t write_word(uint8_t d, uint8_t a, int32_t& v) override {
    return pass() ? inner_.write_word(d, a, v) : 0;
  }
  int32_t usr_read(uint8_t d, uint8_t& s) override { return pass() ? inner_.usr_read(d, s) : 0; }
  int32_t read_block(uint8_t d, uint8_t a, uint8_t n, int32_t* w) override {
    return pass() ? inner_.read_block(d, a, n, w) : 0;
  }

 private:
  bool pass() {
    if (failing) ++refused;
    return !failing;
  }
  platform::DeviceLibrary& inner_;
};

// Forwards to the fake port until it disappears; then every line setting is refused and every
// status line reads low, as a port whose device was unplugged reports.
class VanishingPort final : public platform::SerialPort {
 public:
  explicit VanishingPort(platform::SerialPort& inner) : inner_(inner) {}
  bool gone = false;

  void select(int n) override { inner_.select(n); }
  int selected() const override { return inner_.selected(); }
  std::string device_path(int n) const override { return inner_.device_path(n); }
  bool open() override { return !gone && inner_.open(); }
  void close() override { inner_.close(); }
  bool is_open() const override { return inner_.is_open(); }
  bool set_dtr(bool v) override { return !gone && inner_.set_dtr(v); }
  bool set_rts(bool v) override { return !gone && inner_.set_rts(v); }
  bool set_break(bool v) override { return !gone && inner_.set_break(v); }
  bool cts() override { return !gone && inner_.cts(); }
  bool dsr() override { return !gone && inner_.dsr(); }
  bool cd() override { return !gone && inner_.cd(); }

 private:
  platform::SerialPort& inner_;
};

// A recorder like the harness's but reaching the unit through the given port and library.
struct FaultyRig {
  explicit FaultyRig(const std::string& folder)
      : recorder(Platform{port, library, base.dialogs, base.pause, base.clipboard, folder,
                          &base.printer, &base.frame, "", &time_of_day}) {
    base.library.use_source(1, base.library.model(1));
    recorder.start();
  }
  RecorderHarness base{Transport::Usb, "/nonexistent-zetra-folder"};
  testing::FakeClock time_of_day;
  standins::FakeSerialPort serial{base.library.model(1)};  // the realistic meter on COM1 too
  VanishingPort port{serial};
  FailingLibrary library{base.library};
  Recorder recorder;
  TimerClock clock{recorder};
};

// The last `n` samples all hold the values of the last answer, as a busy meter's ticks do, and the
// live values are those too.
void expect_held_since_the_fault(const RecorderState& s, const HeldSamples& before, int n) {
  const auto last = static_cast<size_t>(s.rec_next) - 1;
  for (size_t i = last - static_cast<size_t>(n) + 1; i <= last; ++i) {
    EXPECT_EQ(s.rec_cur1[i], before.cur1.back()) << i;
    EXPECT_EQ(s.rec_cur2[i], before.cur2.back()) << i;
    EXPECT_EQ(s.rec_temp1[i], before.temp1.back()) << i;
    EXPECT_EQ(s.rec_temp2[i], before.temp2.back()) << i;
  }
  EXPECT_EQ(s.live_cur1, before.cur1.back());
  EXPECT_EQ(s.live_temp2, before.temp2.back());
}

// What both link faults must leave: the recording running, every sample held before the fault
// unchanged, one new sample per tick afterwards (the timeline goes on), nothing asked.
void expect_recording_survives(FaultyRig& rig, const HeldSamples& before, size_t held_before,
                               float next_before, int ticks) {
  const RecorderState& s = rig.recorder.state();
  EXPECT_EQ(rig.recorder.window()["crec"].caption, "Stop");
  EXPECT_TRUE(testing::held_samples(s, held_before) == before) << "a held sample changed";
  EXPECT_EQ(s.rec_next, next_before + static_cast<float>(ticks));
  EXPECT_EQ(rig.base.dialogs.messages.size(), 0u);
}

TEST(LinkFaults, DeviceLibraryFailingMidRecordingHoldsTheLastValuesAndSaysSinceWhen) {
  testing::TempFolder folder;
  FaultyRig rig(folder.path());
  WindowModel& w = rig.recorder.window();
  rig.recorder.press("pusb1");
  rig.recorder.press("conoff");
  ASSERT_EQ(w["conoff"].caption, "Off");
  rig.recorder.press("crec");
  rig.clock.advance(20000);  // 40 samples at 2 a second
  const RecorderState& s = rig.recorder.state();
  const auto held = static_cast<size_t>(s.rec_next) - 1;
  ASSERT_GE(held, 39u);
  const HeldSamples before = testing::held_samples(s, held);
  const float next = s.rec_next;

  EXPECT_EQ(s.link_notice, "");
  rig.time_of_day.set(14, 2, 11);
  rig.library.failing = true;
  rig.clock.advance(500);
  rig.time_of_day.set(14, 2, 40);  // the notice keeps the time the answers stopped
  rig.clock.advance(9500);  // 20 ticks against a library that refuses everything
  EXPECT_GE(rig.library.refused, 20);
  expect_recording_survives(rig, before, held, next, 20);
  expect_held_since_the_fault(s, before, 20);
  EXPECT_EQ(s.link_notice, "No answer from the unit since 14:02:11");
  EXPECT_NE(w["stfield"].caption.find("No answer from the unit since 14:02:11"), std::string::npos);

  rig.library.failing = false;  // the unit answers again: real values come back
  rig.clock.advance(10000);
  EXPECT_NE(s.live_cur1, before.cur1.back());
  EXPECT_EQ(s.link_notice, "");
  EXPECT_EQ(w["stfield"].caption.find("No answer"), std::string::npos);
  rig.recorder.press("crec");
  rig.recorder.press("conoff");
  EXPECT_EQ(w["conoff"].caption, "On");
}

TEST(LinkFaults, SerialPortDisappearingMidRecordingHoldsTheLastValuesAndSaysSinceWhen) {
  testing::TempFolder folder;
  FaultyRig rig(folder.path());
  WindowModel& w = rig.recorder.window();
  rig.recorder.press("pcom1");
  rig.recorder.press("conoff");
  ASSERT_EQ(w["conoff"].caption, "Off");
  rig.recorder.press("crec");
  rig.clock.advance(20000);
  const RecorderState& s = rig.recorder.state();
  const auto held = static_cast<size_t>(s.rec_next) - 1;
  ASSERT_GE(held, 39u);
  const HeldSamples before = testing::held_samples(s, held);
  const float next = s.rec_next;

  rig.time_of_day.set(9, 5, 0);
  rig.port.gone = true;
  rig.clock.advance(10000);
  expect_recording_survives(rig, before, held, next, 20);
  expect_held_since_the_fault(s, before, 20);
  EXPECT_EQ(s.link_notice, "No answer from the unit since 09:05:00");

  rig.recorder.press("crec");
  rig.recorder.press("conoff");  // closing a vanished port is harmless
  EXPECT_EQ(w["conoff"].caption, "On");
  EXPECT_EQ(s.link_notice, "");  // a closed link waits for no answer
  rig.recorder.press("conoff");  // and opening it again fails with the message
  EXPECT_EQ(w["conoff"].caption, "On");
  EXPECT_EQ(rig.base.dialogs.messages.size(), 1u);
}

// A port that goes away before the first sample: the recording holds zeros, the values before
// any answer, on every trace.
TEST(LinkFaults, NoAnswerFromTheFirstTickRecordsZeros) {
  testing::TempFolder folder;
  FaultyRig rig(folder.path());
  rig.recorder.press("pcom1");
  rig.recorder.press("conoff");
  ASSERT_EQ(rig.recorder.window()["conoff"].caption, "Off");
  rig.port.gone = true;
  rig.recorder.press("crec");
  rig.clock.advance(1500);
  const RecorderState& s = rig.recorder.state();
  ASSERT_GE(s.rec_next, 3.0f);
  for (size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(s.rec_cur1[i], 0.0f) << i;
    EXPECT_EQ(s.rec_cur2[i], 0.0f) << i;
    EXPECT_EQ(s.rec_temp1[i], 0.0f) << i;
    EXPECT_EQ(s.rec_temp2[i], 0.0f) << i;
  }
  EXPECT_EQ(s.live_temp1, 0.0f);
  EXPECT_NE(s.link_notice.find("No answer from the unit"), std::string::npos);
}

}  // namespace
}  // namespace zetra
