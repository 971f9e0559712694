// Text for the PDF's standard font: UTF-8 to the Windows-1252 bytes of its WinAnsi encoding,
// and the width of each byte's glyph in the standard Helvetica font.
#pragma once

#include <string>
#include <string_view>

namespace zetra::platform::pdf {

// Characters the code page lacks, and broken sequences, become '?'; control characters other
// than line breaks a space.
std::string to_win_ansi(std::string_view utf8);

// Advance of one Windows-1252 byte in Helvetica, thousandths of the font size.
int helvetica_width(unsigned char byte);

}  // namespace zetra::platform::pdf
