// One fixed recording (deterministic samples, settings, notes with characters beyond ASCII) written
// as a .ztr, zetrat.set, a recovery journal and the clipboard text, each compared byte for byte
// with a reference in the tree. The same test runs on Linux and on Windows (under Wine), so passing
// on both proves both write the same bytes; both also read the references back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "recorder/files/files_subsystem.h"
#include "recorder/files/journal_format.h"
#include "tests/recorder/files/temp_folder.h"
#include "tests/support/recorder_harness.h"

namespace zetra::files {
namespace {

using testing::RecorderHarness;
using testing::Transport;

constexpr int kSamples = 1700;  // two records, the second partly filled
// Windows-1252 has every character here; the notes keep a CR LF line break.
constexpr const char* kNotes =
    "Notes: Puffer pH 7,4 \xE2\x80\x93 Elektrode \xC3\x84" "3, 25 \xC2\xB0" "C, 5 \xC2\xB5m\r\nM\xC3\xBCller";
// A file name beyond ASCII that exists nowhere: the journal names it with no identity.
constexpr const char* kJournaledName = "no-such-folder-\xC3\xBC\xE4\xB8\xAD/M\xC3\xBCller \xE4\xB8\xAD.ztr";

std::string reference(const std::string& name) {
  return platform::join_path(ZETRA_REFERENCE_FOLDER, name);
}

// Samples that use the whole float: fractions, negatives, a marker, large and tiny values. Only
// the four basic operations, which round the same everywhere (the math library does not).
void make_recording(RecorderHarness& h) {
  RecorderState& s = h.state();
  for (int i = 1; i <= kSamples; ++i) {
    const float t = static_cast<float>(i);
    s.rec_cur1[i] = 1234.5f + 100.0f / (1.0f + static_cast<float>(i % 97) / 3.0f) -
                    (i == 300 ? 10000.0f : 0.0f);
    s.rec_cur2[i] = -0.001f * t * t + 7.25f;
    s.rec_temp1[i] = 24.55f + static_cast<float>(i % 7) / 8.0f;
    s.rec_temp2[i] = 37.0f - t / 1024.0f;
  }
  s.rec_next = kSamples + 1;
  s.shown_count = s.rec_next;
  s.view_start = 900;
  h.recorder.press("ppn5000");  // span1 50000
  h.recorder.press("pt152");    // tspan2 150
  h.recorder.press("ptcmf");    // compensation off
  s.pa_per_nm1 = 1.5f;
  s.tc_factor2 = -3.125f;
  h.window()["nt1"].caption = kNotes;
}

// Compares `bytes` with the reference file; the message names the first difference. With
// ZETRA_UPDATE_REFERENCES=1 in the environment (after a deliberate change of a format) the
// references are written instead.
void expect_reference(const std::string& name, const std::vector<uint8_t>& bytes) {
  if (const char* update = std::getenv("ZETRA_UPDATE_REFERENCES"); update && *update == '1') {
    testing::write_bytes(reference(name), bytes);
  }
  const std::vector<uint8_t> expected = testing::read_bytes(reference(name));
  ASSERT_FALSE(expected.empty()) << reference(name) << " is missing";
  EXPECT_EQ(bytes.size(), expected.size()) << name;
  for (size_t i = 0; i < std::min(bytes.size(), expected.size()); ++i) {
    ASSERT_EQ(bytes[i], expected[i]) << name << " differs first at byte " << i;
  }
}

TEST(ByteIdentity, RecordingSettingsJournalAndClipboardAreTheReferencesByteForByte) {
  testing::TempFolder folder;
  RecorderHarness h(Transport::Usb, folder.path());
  make_recording(h);
  RecorderState& s = h.state();

  ASSERT_TRUE(h.recorder.press("psave"));
  ASSERT_TRUE(h.dialogs.messages.empty());
  expect_reference("identity.ztr", testing::read_bytes(folder.file("file1.ztr")));

  Procedures::call(h.recorder.procedures().zetrasave);
  expect_reference("identity.set", testing::read_bytes(folder.file("zetrat.set")));

  s.file_name = kJournaledName;
  RecoveryJournal& journal = h.recorder.files().journal;
  journal.sync();
  ASSERT_TRUE(journal.active()) << journal.error();
  expect_reference("identity.journal", testing::read_bytes(journal.path()));
  journal.discard();

  s.sel_start = 40;  // positions from view_start 900
  s.sel_end = 47;
  h.recorder.press("ccopy");
  ASSERT_FALSE(h.clipboard.text.empty());
  expect_reference("identity.clipboard.txt",
                   std::vector<uint8_t>(h.clipboard.text.begin(), h.clipboard.text.end()));
}

// The references were written on the other system as much as on this one: each opens here with
// the samples and notes it was made from.
TEST(ByteIdentity, TheReferenceRecordingAndJournalOpenWithTheirSamplesAndNotes) {
  testing::TempFolder folder;
  RecorderHarness h(Transport::Usb, folder.path());
  make_recording(h);
  const RecorderState& made = h.state();

  LoadedRecording file;
  std::string error;
  ASSERT_TRUE(read_recording(reference("identity.ztr"), file, error)) << error;
  const std::vector<uint8_t> bytes = testing::read_bytes(reference("identity.journal"));
  LoadedRecording journaled;
  ASSERT_TRUE(parse_journal(bytes.data(), bytes.size(), journaled, error)) << error;
  EXPECT_EQ(journaled.file_name, kJournaledName);
  for (const LoadedRecording* loaded : {&file, &journaled}) {
    EXPECT_EQ(loaded->header.rec_next, kSamples + 1.0f);
    EXPECT_EQ(loaded->header.span1, 50000.0f);
    EXPECT_EQ(loaded->header.tc_off, 1);
    for (int i = 1; i <= kSamples; ++i) {
      ASSERT_EQ(loaded->cur1[i], made.rec_cur1[i]) << i;
      ASSERT_EQ(loaded->cur2[i], made.rec_cur2[i]) << i;
      ASSERT_EQ(loaded->temp1[i], made.rec_temp1[i]) << i;
      ASSERT_EQ(loaded->temp2[i], made.rec_temp2[i]) << i;
    }
    EXPECT_EQ(loaded->notes.substr(0, 5), "Notes");
  }

  h.dialogs.file_answers = {reference("identity.ztr")};
  h.recorder.press("popen");
  ASSERT_TRUE(h.dialogs.messages.empty());
  // The pane shows the notes as typed: line breaks as '\n', the field's padding left off.
  std::string shown = kNotes;
  shown.replace(shown.find("\r\n"), 2, "\n");
  EXPECT_EQ(h.window()["nt1"].caption, shown);
}

}  // namespace
}  // namespace zetra::files
