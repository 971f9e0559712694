// The notes field at the file boundary: the pane's text without padding and with "\n" breaks,
// the file's own line breaks, the list of held stretches at the field's end, and the room left.
#include "recorder/files/notes_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zetra::files {
namespace {

const std::string kDash = "\xE2\x80\x93";  // the en dash in the pane's UTF-8

std::string padded(std::string field) {
  field.resize(kNotesFieldBytes, ' ');
  return field;
}

HeldStretches held_of(const std::vector<HeldStretch>& list) {
  HeldStretches held;
  for (const HeldStretch& s : list) EXPECT_TRUE(held.append(s));
  return held;
}

TEST(NotesText, HeldLinesAreWrittenInOneFormAndOnlyThatFormReadsBack) {
  const HeldStretch stretch{52, 203, 37867, 37897};
  const std::string line = held_line(stretch);
  EXPECT_EQ(line,
            "No answer from the unit 10:31:07" + kDash + "10:31:37 (samples 52" + kDash + "203)");
  EXPECT_EQ(parse_held_line(line), stretch);
  EXPECT_EQ(held_line({7, 7, -1, -1}), "No answer from the unit (sample 7)");
  EXPECT_EQ(parse_held_line("No answer from the unit (sample 7)"), (HeldStretch{7, 7, -1, -1}));
  for (const std::string& other : std::vector<std::string>{
           "No answer from the unit (samples 7" + kDash + "7)",      // one sample is "(sample 7)"
           std::string("No answer from the unit (samples 52-203)"),  // a hyphen
           "No answer from the unit (samples 052" + kDash + "203)",
           "No answer from the unit (samples 203" + kDash + "52)",
           "No answer from the unit 10:31:07 (samples 52" + kDash + "203)",
           "No answer from the unit 24:00:00" + kDash + "10:31:37 (sample 1)",
           std::string("No answer from the unit (sample 7) "),
           std::string("no answer from the unit (sample 7)")}) {
    EXPECT_FALSE(parse_held_line(other)) << other;
  }
}

// Whatever the file holds comes back byte for byte when nothing was changed: padding, CR LF or CR
// breaks, the code page's every byte, trailing blanks of the text, the list at the end.
TEST(NotesText, AFieldReadAndComposedAgainGivesTheSameBytes) {
  std::string every_byte = "Notes:";
  for (int b = 1; b < 256; ++b) {
    if (b != '\r' && b != '\n') every_byte += static_cast<char>(b);
  }
  const std::string list =
      "\r\nNo answer from the unit 10:31:07\x96"
      "10:31:37 (samples 52\x96"
      "203)"
      "\r\nNo answer from the unit (sample 300)";
  for (const std::string& field :
       {std::string("Notes:"), std::string("Notes:\r\nBuffer pH 7.4\r\n"), std::string("a\rb\r"),
        std::string("a\nb\r\nc"), every_byte, std::string("Notes: trailing blanks   ") + list,
        std::string("Notes:\r\nrun 4") + list, list, std::string(kNotesFieldBytes, 'x')}) {
    const NotesField notes = read_notes_field(padded(field), 400);
    const ComposedNotes again = compose_notes_field(notes.text, notes.line_break, notes.held);
    EXPECT_EQ(padded(again.field), padded(field)) << field;
  }
  const NotesField crlf = read_notes_field(padded("Notes:\r\nrun 4" + list), 400);
  EXPECT_EQ(crlf.text, "Notes:\nrun 4");
  EXPECT_EQ(crlf.line_break, "\r\n");
  EXPECT_EQ(crlf.held.list(),
            (std::vector<HeldStretch>{{52, 203, 37867, 37897}, {300, 300, -1, -1}}));
  EXPECT_EQ(read_notes_field(padded("Notes:   "), 0).text, "Notes:");
}

TEST(NotesText, AListThatDoesNotFitTheRecordingIsTheUsersText) {
  const std::string late =
      "Notes:\nNo answer from the unit (samples 52\x96"
      "203)";
  EXPECT_TRUE(read_notes_field(padded(late), 202).held.empty()) << "beyond the recording";
  EXPECT_EQ(read_notes_field(padded(late), 202).text,
            "Notes:\nNo answer from the unit (samples 52" + kDash + "203)");
  EXPECT_EQ(read_notes_field(padded(late), 203).held.list().size(), 1u);
  const std::string backwards =
      "\nNo answer from the unit (sample 90)\nNo answer from the unit (sample 80)";
  EXPECT_TRUE(read_notes_field(padded(backwards), 100).held.empty());
  // Only the lines at the end: one the user wrote earlier stays text, the last one is the list.
  const std::string mixed =
      "x\nNo answer from the unit (sample 5)\nmore\nNo answer from the unit (sample 9)";
  const NotesField notes = read_notes_field(padded(mixed), 100);
  EXPECT_EQ(notes.text, "x\nNo answer from the unit (sample 5)\nmore");
  EXPECT_EQ(notes.held.list(), (std::vector<HeldStretch>{{9, 9, -1, -1}}));
}

// The user's text is never cut for the list: lines that do not fit are left out and counted, and
// the room says how many bytes are missing. Line breaks count as the file writes them.
TEST(NotesText, TheRoomCountsTheTextInTheFilesBreaksAndEveryHeldLine) {
  const HeldStretches held = held_of({{52, 203, 37867, 37897}, {300, 300, -1, -1}});
  const size_t first =
      std::string("\r\nNo answer from the unit 10:31:07-10:31:37 (samples 52-203)").size();
  const size_t second = std::string("\r\nNo answer from the unit (sample 300)").size();
  ComposedNotes notes = compose_notes_field("a\nb", "\r\n", held);
  EXPECT_EQ(notes.field.substr(0, 4), "a\r\nb");
  EXPECT_EQ(notes.field.size(), 4 + first + second);
  EXPECT_EQ(notes.unlisted, 0u);
  EXPECT_EQ(notes.room, static_cast<int64_t>(kNotesFieldBytes - 4 - first - second));

  const size_t first_lf = first - 1, second_lf = second - 1;     // with "\n" breaks
  const std::string full(kNotesFieldBytes - first_lf - 1, 'n');  // room for the first line only
  notes = compose_notes_field(full, "\n", held);
  EXPECT_EQ(notes.field.size(), kNotesFieldBytes - 1);
  EXPECT_EQ(notes.field.substr(0, full.size()), full);
  EXPECT_EQ(notes.unlisted, 1u);
  EXPECT_EQ(notes.room, 1 - static_cast<int64_t>(second_lf));

  notes = compose_notes_field(std::string(kNotesFieldBytes + 5, 'n'), "\n", held);
  EXPECT_EQ(notes.field, std::string(kNotesFieldBytes, 'n'));
  EXPECT_EQ(notes.unlisted, 2u);
  EXPECT_EQ(notes.room, -5 - static_cast<int64_t>(first_lf + second_lf));

  EXPECT_EQ(utf16_units("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"), 9u);  // é, €, a pair
  EXPECT_EQ(notes_with_held_lines("Notes:", held),
            "Notes:\n" + held_line(held.list()[0]) + "\n" + held_line(held.list()[1]));
}

}  // namespace
}  // namespace zetra::files
