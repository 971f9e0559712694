// The notes field of a recording (1000 bytes of Windows-1252) as the recorder shows and writes it:
// the pane holds the user's text without the field's padding and with "\n" line breaks; the field
// keeps the line breaks the file had, and ends with one line for each stretch in which the unit
// did not answer, which the recorder writes and reads back itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "recorder/state/held_stretches.h"

namespace zetra::files {

inline constexpr size_t kNotesFieldBytes = 1000;

// "No answer from the unit 10:31:07–10:31:37 (samples 52–203)" (UTF-8); without the times when
// they are not known, "(sample 52)" for a single sample.
std::string held_line(const HeldStretch& stretch);
// The stretch a line in exactly that form describes.
std::optional<HeldStretch> parse_held_line(std::string_view line);

struct NotesField {
  std::string text;               // UTF-8, "\n" line breaks, the trailing padding removed
  std::string line_break = "\n";  // how the field breaks lines: "\r\n", "\r" or "\n"
  HeldStretches held;             // the stretches listed at the field's end
};

// Splits a field read from a file. The list at its end is taken only when every line of it is as
// the recorder writes them and its stretches lie within samples 1 .. `recorded`, in order;
// otherwise it is part of the user's text. Composing the result again gives the same bytes.
NotesField read_notes_field(std::string_view field, size_t recorded);

struct ComposedNotes {
  std::string field;    // Windows-1252, at most kNotesFieldBytes, not yet padded
  size_t unlisted = 0;  // stretches for which no line fitted
  int64_t room = 0;     // bytes left after the text and every line (negative: that many too many)
};

// The field for the pane's text and the held stretches: the text with its line breaks, then one
// line per stretch, earliest first, as long as they fit. The user's text is never cut for them;
// only a text longer than the field itself is cut, at the field's end.
ComposedNotes compose_notes_field(std::string_view text, std::string_view line_break,
                                  const HeldStretches& held);

// The text with every stretch's line, "\n" line breaks, nothing cut: what Print notes prints.
std::string notes_with_held_lines(std::string_view text, const HeldStretches& held);

// UTF-16 code units of UTF-8 text, as a text box counts characters.
size_t utf16_units(std::string_view utf8);

}  // namespace zetra::files
