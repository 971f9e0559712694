// The notes pane through the window: notes typed after reopening a file reach the saved file, an
// unchanged file saves byte for byte as it was, the pane takes no more than the field holds and
// the status field tells the room left, and the list of held stretches travels with the file.
#include "recorder/files/notes_commands.h"

#include <gtest/gtest.h>

#include <cstring>

#include "recorder/files/files_subsystem.h"
#include "recorder/files/notes_text.h"
#include "recorder/files/recording_file.h"
#include "recorder/files/text_encoding.h"
#include "tests/recorder/files/temp_folder.h"
#include "tests/support/recorder_harness.h"

namespace zetra::files {
namespace {

using testing::RecorderHarness;
using testing::Transport;

class NotesPaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 1; i <= 3000; ++i) s.append(float(i), -float(i), 20, 30);  // three records
    s.shown_count = s.rec_next;
  }
  // The notes field of record k of a file.
  std::string notes_of(const std::string& path, size_t k = 1) {
    const auto bytes = testing::read_bytes(path);
    const size_t at = (k - 1) * kRecordBytes + record_offset::kNotes;
    return std::string(bytes.begin() + static_cast<long>(at),
                       bytes.begin() + static_cast<long>(at + kNotesFieldBytes));
  }
  void open(const std::string& path) {
    h.dialogs.file_answers = {path};
    ASSERT_TRUE(h.recorder.press("popen"));
    ASSERT_EQ(s.file_name, path);
  }
  // Text typed into the pane, as the window hands it over.
  void type(const std::string& text) {
    w["nt1"].caption = text;
    w.invoke("nt1");
  }

  testing::TempFolder folder;
  RecorderHarness h{Transport::Usb, folder.path()};
  RecorderState& s = h.state();
  WindowModel& w = h.window();
  const std::string file = folder.file("file1.ztr");
};

TEST_F(NotesPaneTest, NotesTypedAfterReopeningAreSavedAndAnUnchangedFileSavesAsItWas) {
  ASSERT_TRUE(h.recorder.press("psave"));
  const auto first = testing::read_bytes(file);
  open(file);
  EXPECT_EQ(w["nt1"].caption, "Notes:") << "the field's padding is not the user's text";
  ASSERT_TRUE(h.recorder.press("psave"));
  EXPECT_EQ(testing::read_bytes(file), first);

  type(w["nt1"].caption + "\nBuffer pH 7.4, electrode A3");  // typed at the end
  EXPECT_TRUE(s.unsaved());
  ASSERT_TRUE(h.recorder.press("psave"));
  const std::string typed = "Notes:\nBuffer pH 7.4, electrode A3";
  EXPECT_EQ(notes_of(file, 1), typed + std::string(kNotesFieldBytes - typed.size(), ' '));
  EXPECT_EQ(notes_of(file, 2), notes_of(file, 1));
  open(file);
  EXPECT_EQ(w["nt1"].caption, typed);
}

// A file whose notes break lines with CR LF (as written on Windows) shows them with "\n" and
// saves them with CR LF again: byte for byte when nothing changed.
TEST_F(NotesPaneTest, AFileWithWindowsLineBreaksKeepsThem) {
  ASSERT_TRUE(h.recorder.press("psave"));
  auto bytes = testing::read_bytes(file);
  const std::string crlf = "Notes:\r\nrun 4\r\ncell B";
  for (size_t k = 0; k < bytes.size() / kRecordBytes; ++k) {
    uint8_t* notes = bytes.data() + k * kRecordBytes + record_offset::kNotes;
    std::memset(notes, ' ', kNotesFieldBytes);
    std::memcpy(notes, crlf.data(), crlf.size());
  }
  testing::write_bytes(file, bytes);
  open(file);
  EXPECT_EQ(w["nt1"].caption, "Notes:\nrun 4\ncell B");
  ASSERT_TRUE(h.recorder.press("psave"));
  EXPECT_EQ(testing::read_bytes(file), bytes);
  type("Notes:\nrun 4\ncell C");
  ASSERT_TRUE(h.recorder.press("psave"));
  EXPECT_EQ(notes_of(file).substr(0, 21), "Notes:\r\nrun 4\r\ncell C");
}

// The pane's limit and the status field follow the room the text and the held lines leave.
TEST_F(NotesPaneTest, ThePaneTakesNoMoreThanTheFieldAndTheStatusFieldTellsTheRoom) {
  EXPECT_EQ(w["stfield"].caption.find("Notes:"), std::string::npos) << "pane hidden";
  ASSERT_TRUE(h.recorder.press("pnoteson"));
  EXPECT_NE(w["stfield"].caption.find("Notes: 994 bytes left"), std::string::npos)
      << w["stfield"].caption;
  EXPECT_EQ(w["nt1"].max_length, 1000);
  type(std::string(990, 'x') + "\xE2\x82\xAC");  // the euro sign: one byte in the field
  EXPECT_NE(w["stfield"].caption.find("Notes: 9 bytes left"), std::string::npos);
  EXPECT_EQ(w["nt1"].max_length, 1000);

  // A stretch the unit did not answer needs a line: it finds no room, and the field says so
  // whether or not the pane shows.
  s.held.hold(2000, 36000);
  s.held.hold(2001, 36001);
  ASSERT_TRUE(h.recorder.press("pnotesoff"));
  const std::string line = to_windows1252("\n" + held_line(s.held.list()[0]));
  const std::string over = std::to_string(line.size() - 9);
  EXPECT_NE(w["stfield"].caption.find("Notes full: 1 stretch without an answer not listed, " +
                                      over + " bytes short"),
            std::string::npos)
      << w["stfield"].caption;
  EXPECT_EQ(w["nt1"].max_length, 991 - static_cast<int>(line.size() - 9));
  type(std::string(900, 'x'));  // room made: the line fits again
  EXPECT_EQ(w["stfield"].caption.find("Notes"), std::string::npos) << w["stfield"].caption;
  ASSERT_TRUE(h.recorder.press("psave"));
  EXPECT_EQ(notes_of(file).substr(900, line.size()), line);
}

// The held stretches are listed at the end of the notes field; Open reads them back (the pane
// shows only the user's text), and a recording edited since lists them where they are now.
TEST_F(NotesPaneTest, HeldStretchesTravelInTheNotesField) {
  ASSERT_TRUE(s.held.append({52, 203, 37867, 37897}));
  ASSERT_TRUE(s.held.append({2500, 2500, 37900, 37900}));
  type("Notes:\nrun 5");
  ASSERT_TRUE(h.recorder.press("psave"));
  const std::string expected =
      "Notes:\nrun 5\nNo answer from the unit 10:31:07\x96"
      "10:31:37 "
      "(samples 52\x96"
      "203)\nNo answer from the unit 10:31:40\x96"
      "10:31:40 (sample 2500)";
  EXPECT_EQ(notes_of(file).substr(0, expected.size()), expected);
  const auto saved = testing::read_bytes(file);
  s.held.clear();
  open(file);
  EXPECT_EQ(w["nt1"].caption, "Notes:\nrun 5");
  EXPECT_EQ(s.held.list(),
            (std::vector<HeldStretch>{{52, 203, 37867, 37897}, {2500, 2500, 37900, 37900}}));
  ASSERT_TRUE(h.recorder.press("psave"));
  EXPECT_EQ(testing::read_bytes(file), saved);

  s.sel_start = 100 - s.view_start;  // cut samples 100 .. 149 out of the first stretch
  s.sel_end = s.sel_start + 50;
  ASSERT_TRUE(h.recorder.press("pcut"));
  ASSERT_TRUE(h.recorder.press("psave"));
  EXPECT_NE(notes_of(file).find("(samples 52\x96"
                                "153)\nNo answer from the unit 10:31:40\x96"
                                "10:31:40 (sample 2450)"),
            std::string::npos)
      << notes_of(file);
}

}  // namespace
}  // namespace zetra::files
