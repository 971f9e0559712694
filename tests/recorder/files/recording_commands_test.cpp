// New, Open, Save and Save as through the window model, as the operator uses them, with the
// caption, the busy pointers, refused files and failed writes.
#include "recorder/files/recording_commands.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "recorder/files/files_subsystem.h"
#include "tests/recorder/files/temp_folder.h"
#include "tests/support/recorder_harness.h"

namespace zetra::files {
namespace {

using platform::MessageAnswer;
using testing::RecorderHarness;
using testing::Transport;

// Puts n samples into the store: sample i has CH1 i pA, CH2 -2i pA, 20 and 30 deg C plus i/100.
void fill(RecorderState& s, int n) {
  for (int i = 1; i <= n; ++i) {
    s.rec_cur1[i] = static_cast<float>(i);
    s.rec_cur2[i] = -2.0f * static_cast<float>(i);
    s.rec_temp1[i] = 20 + static_cast<float>(i) / 100;
    s.rec_temp2[i] = 30 + static_cast<float>(i) / 100;
  }
  s.rec_next = static_cast<float>(n + 1);
  s.shown_count = s.rec_next;
}

class RecordingCommandsTest : public ::testing::Test {
 protected:
  testing::TempFolder folder;
  RecorderHarness h{Transport::Usb, folder.path()};
  RecorderState& s = h.state();
  WindowModel& w = h.window();
};

TEST_F(RecordingCommandsTest, SaveWritesFile1InTheProgramFolderOnlyWithTwoSamples) {
  fill(s, 1);
  EXPECT_TRUE(h.recorder.press("psave"));
  EXPECT_FALSE(std::filesystem::exists(folder.file("file1.ztr")));  // one sample: nothing
  fill(s, 2);
  EXPECT_TRUE(h.recorder.press("csave"));
  const auto bytes = testing::read_bytes(folder.file("file1.ztr"));
  ASSERT_EQ(bytes.size(), kRecordBytes);
  EXPECT_EQ(testing::float_at(bytes, 4), 3.0f);
  EXPECT_TRUE(h.dialogs.files.empty());  // no dialog
  EXPECT_EQ(s.window_caption, "ZetraII [ " + folder.file("file1.ztr") + " ]");
  EXPECT_EQ(w.screen_pointer, Pointer::Default);
  EXPECT_EQ(w["p1"].pointer, Pointer::Cross);
}

TEST_F(RecordingCommandsTest, SaveAsThenOpenBringsBackRecordingNotesAndControls) {
  fill(s, 3000);
  h.recorder.press("ppn1000");   // CH1 1000 per division
  h.recorder.press("ppn50002");  // CH2 5000 per division
  h.recorder.press("pt5");       // T1 5 degrees per division
  h.recorder.press("pt20s");     // 20 s per division
  h.recorder.press("ptcmo");     // compensation on
  s.offset1 = 2000;              // two divisions up at 1000 per division
  s.tbase2 = 15;
  s.view_start = 801;
  w["nt1"].caption = "Run 7: caf\xC3\xA9, 5\xE2\x82\xAC";  // UTF-8 in the pane
  const std::string name = folder.file("run7.ztr");
  h.dialogs.file_answers = {name};
  h.recorder.press("psaveas");
  ASSERT_EQ(s.file_name, name);
  EXPECT_EQ(h.dialogs.files.back().title, "Save a file as");
  EXPECT_EQ(h.dialogs.files.back().default_text, folder.file("file1.ztr"));

  h.dialogs.file_answers = {folder.file("next.ztr")};
  h.recorder.press("pnew");  // empties the recording and the notes, writes nothing
  EXPECT_EQ(s.rec_next, 1.0f);
  EXPECT_EQ(w["nt1"].caption, "Notes:");
  EXPECT_EQ(s.window_caption, "ZetraII [ " + folder.file("next.ztr") + " ]");
  EXPECT_FALSE(std::filesystem::exists(folder.file("next.ztr")));
  h.recorder.press("pt1s");
  h.recorder.press("ptcmf");
  s.offset1 = 0;

  Pointer pointer_while_drawing = Pointer::Default;
  Procedures::Procedure r_line = h.recorder.procedures().r_line;
  h.recorder.procedures().r_line = [&] {
    pointer_while_drawing = w.screen_pointer;
    Procedures::call(r_line);
  };
  h.dialogs.file_answers = {name};
  h.recorder.press("copen");
  EXPECT_EQ(h.dialogs.files.back().title, "Open a file");
  EXPECT_EQ(h.dialogs.files.back().default_text, "");
  EXPECT_EQ(pointer_while_drawing, Pointer::Busy);
  EXPECT_EQ(w.screen_pointer, Pointer::Default);
  EXPECT_EQ(s.rec_next, 3001.0f);
  EXPECT_EQ(s.rec_cur1[3000], 3000.0f);
  EXPECT_EQ(s.rec_temp2[1234], 30 + 1234 / 100.0f);
  EXPECT_EQ(s.view_start, 801.0f);
  EXPECT_EQ(s.view_width, 800.0f);
  EXPECT_TRUE(w["pt20s"].checked && w["ppn1000"].checked && w["ppn50002"].checked);
  EXPECT_TRUE(w["pt5"].checked && w["pt102"].checked && w["p2s1"].checked && w["pr100"].checked);
  EXPECT_EQ(w["nvs1"].value, -20);
  EXPECT_EQ(w["nvs22"].value, 15);
  EXPECT_EQ(s.vs1_request + s.vs22_request, 0);  // set by the program, not by the user
  EXPECT_EQ(w["st1"].caption, "DIV: 20s_1000_5000_5\xC2\xB0" "C_10\xC2\xB0" "C ");
  EXPECT_TRUE(w["ptcmo"].checked && s.tc_on && w["t5"].visible && w["t52"].visible);
  const std::string notes = w["nt1"].caption;
  EXPECT_EQ(notes.substr(0, 18), "Run 7: caf\xC3\xA9, 5\xE2\x82\xAC");
  EXPECT_EQ(notes.size(), 18 + 1000 - 15);  // 1000 characters; two take more bytes in UTF-8
  EXPECT_EQ(notes.back(), ' ');
  EXPECT_FALSE(w["Timer2"].enabled);
  EXPECT_TRUE(w["Timer3"].enabled);
  EXPECT_EQ(s.window_caption, "ZetraII [ " + name + " ]");
}

TEST_F(RecordingCommandsTest, EveryNotesByteOfAnOldFileComesBackThroughOpenAndSave) {
  fill(s, 2);
  const std::string name = folder.file("old.ztr");
  h.dialogs.file_answers = {name};
  h.recorder.press("psaveas");
  auto bytes = testing::read_bytes(name);
  // Bytes 0x80..0x9F, the five the code page leaves unassigned among them, then e-acute.
  for (int i = 0; i < 32; ++i) bytes[12056 + i] = static_cast<uint8_t>(0x80 + i);
  bytes[12056 + 32] = 0xE9;
  testing::write_bytes(name, bytes);

  h.dialogs.file_answers = {name};
  h.recorder.press("copen");
  const std::string pane = w["nt1"].caption;
  EXPECT_EQ(pane.substr(0, 5), "\xE2\x82\xAC\xC2\x81");                   // euro sign, U+0081
  EXPECT_NE(pane.find("\xC5\x92\xC2\x8D\xC5\xBD"), std::string::npos);  // 0x8C 0x8D 0x8E
  EXPECT_NE(pane.find("\xC2\x8F\xC2\x90\xE2\x80\x98"), std::string::npos);  // 0x8F 0x90 0x91
  EXPECT_NE(pane.find("\xC5\x93\xC2\x9D\xC5\xBE"), std::string::npos);  // 0x9C 0x9D 0x9E
  EXPECT_EQ(pane.find("\xEF\xBF\xBD"), std::string::npos);              // no replacement sign
  EXPECT_EQ(pane.find('?'), std::string::npos);

  const std::string copy = folder.file("copy.ztr");
  h.dialogs.file_answers = {copy};
  h.recorder.press("psaveas");
  const auto saved = testing::read_bytes(copy);
  ASSERT_EQ(saved.size(), kRecordBytes);
  EXPECT_EQ(std::vector<uint8_t>(saved.begin() + 12056, saved.begin() + 13056),
            std::vector<uint8_t>(bytes.begin() + 12056, bytes.begin() + 13056));
}

TEST_F(RecordingCommandsTest, OpenRefusesBadFilesWithoutTouchingAnything) {
  fill(s, 2000);
  const std::string good = folder.file("good.ztr");
  h.dialogs.file_answers = {good};
  h.recorder.press("psaveas");
  const auto bytes = testing::read_bytes(good);
  fill(s, 10);  // what is in the recorder now must survive every refused open
  w["nt1"].caption = "kept";
  const std::string caption = s.window_caption;
  const float* data = s.rec_cur1.data();
  const std::string bad = folder.file("bad.ztr");
  std::vector<std::vector<uint8_t>> files = {{}, {1, 2, 3}};
  files.emplace_back(bytes.begin(), bytes.begin() + kRecordBytes);  // counter needs two
  files.push_back(bytes);
  testing::put_float_at(files.back(), 36, 0.0f);  // zero sample interval, in both records
  testing::put_float_at(files.back(), kRecordBytes + 36, 0.0f);
  for (const auto& content : files) {
    testing::write_bytes(bad, content);
    h.dialogs.file_answers = {bad};
    h.recorder.press("popen");
    ASSERT_FALSE(h.dialogs.messages.empty());
    EXPECT_NE(h.dialogs.messages.back().text.find(bad), std::string::npos);
    EXPECT_EQ(s.rec_next, 11.0f);
    EXPECT_EQ(s.rec_cur1.data(), data);
    EXPECT_EQ(s.file_name, good);
    EXPECT_EQ(s.window_caption, caption);
    EXPECT_EQ(w["nt1"].caption, "kept");
    EXPECT_TRUE(w["Timer2"].enabled);
    EXPECT_EQ(w.screen_pointer, Pointer::Default);
  }
  const std::string missing = folder.file("missing.ztr");
  h.dialogs.file_answers = {missing};
  h.recorder.press("popen");
  EXPECT_EQ(h.dialogs.messages.back().text,
            "Cannot open " + missing + ": the file does not exist.");
  EXPECT_FALSE(std::filesystem::exists(missing));
  const size_t asked = h.dialogs.messages.size();
  h.recorder.press("popen");  // cancelled: nothing at all
  EXPECT_EQ(h.dialogs.messages.size(), asked);
  EXPECT_EQ(s.rec_next, 11.0f);
}

TEST_F(RecordingCommandsTest, FailedOrCancelledSaveAsKeepsTheNameAndTheOldFile) {
  fill(s, 100);
  h.recorder.press("psave");
  const auto saved = testing::read_bytes(s.file_name);
  h.recorder.press("psaveas");  // cancelled
  EXPECT_EQ(s.file_name, folder.file("file1.ztr"));
  h.dialogs.file_answers = {folder.file("missing-folder/x.ztr")};
  h.recorder.press("psaveas");
  EXPECT_EQ(s.file_name, folder.file("file1.ztr"));
  ASSERT_FALSE(h.dialogs.messages.empty());
  EXPECT_NE(h.dialogs.messages.back().text.find("missing-folder/x.ztr"), std::string::npos);
  fill(s, 200);
  FaultPlan faults{2};
  h.recorder.files().recording.faults = &faults;
  EXPECT_FALSE(h.recorder.files().recording.save());
  EXPECT_EQ(testing::read_bytes(s.file_name), saved);
  EXPECT_NE(h.dialogs.messages.back().text.find("simulated failure"), std::string::npos);
}

TEST_F(RecordingCommandsTest, ARecordedRunSavedByTheRecorderOpensAgain) {
  h.connect();
  h.recorder.press("crec");
  for (int i = 0; i < 40; ++i) h.recorder.tick("Timer1");
  h.recorder.press("crec");
  ASSERT_EQ(s.rec_next, 41.0f);
  const std::vector<float> cur1(s.rec_cur1.data(), s.rec_cur1.data() + 41);
  h.recorder.press("psave");
  h.recorder.press("pcleara");  // answered OK by the script
  h.dialogs.file_answers = {folder.file("file1.ztr")};
  h.recorder.press("popen");
  EXPECT_EQ(s.rec_next, 41.0f);
  EXPECT_EQ(std::vector<float>(s.rec_cur1.data(), s.rec_cur1.data() + 41), cur1);
  EXPECT_EQ(w["Timer1"].interval_ms, 500);
}

// Every session starts on file1.ztr: yesterday's recording there is replaced only when the user
// says so. The file this session opened or saved is replaced without a question while it is as
// the session left it (size, time and identity); once another program changed it, Save asks.
TEST_F(RecordingCommandsTest, SaveAsksBeforeReplacingAFileThisSessionDidNotOpenOrSave) {
  const std::string path = folder.file("file1.ztr");
  {
    RecorderHarness yesterday{Transport::Usb, folder.path()};
    fill(yesterday.state(), 204);
    ASSERT_TRUE(yesterday.recorder.press("psave"));
  }
  const auto old = testing::read_bytes(path);
  fill(s, 20);
  h.dialogs.message_answers = {MessageAnswer::No};
  EXPECT_FALSE(h.recorder.files().recording.save());
  ASSERT_EQ(h.dialogs.messages.size(), 1u);
  EXPECT_EQ(h.dialogs.messages[0].text, path + " already exists. Replace it?");
  EXPECT_EQ(testing::read_bytes(path), old) << "No keeps yesterday's recording";
  EXPECT_EQ(s.rec_next, 21.0f);

  h.dialogs.message_answers = {MessageAnswer::Yes};
  ASSERT_TRUE(h.recorder.press("psave"));
  EXPECT_EQ(testing::float_at(testing::read_bytes(path), 4), 21.0f);
  fill(s, 30);
  ASSERT_TRUE(h.recorder.press("psave"));
  EXPECT_EQ(h.dialogs.messages.size(), 2u) << "the file this session saved: no question";

  // Another program writes the file meanwhile (one byte more, so the size tells it).
  auto changed = testing::read_bytes(path);
  changed.push_back(0);
  testing::write_bytes(path, changed);
  fill(s, 40);
  h.recorder.press("psave");
  ASSERT_EQ(h.dialogs.messages.size(), 3u);
  EXPECT_EQ(testing::read_bytes(path), changed) << "the empty answer queue says Cancel";

  // A file opened is the session's own.
  h.dialogs.file_answers = {path};
  h.dialogs.message_answers = {MessageAnswer::No};  // the unsaved 40 samples
  h.recorder.press("popen");
  const size_t asked = h.dialogs.messages.size();
  fill(s, 50);
  ASSERT_TRUE(h.recorder.press("psave"));
  EXPECT_EQ(h.dialogs.messages.size(), asked);
  EXPECT_EQ(testing::float_at(testing::read_bytes(path), 4), 51.0f);
}

}  // namespace
}  // namespace zetra::files
