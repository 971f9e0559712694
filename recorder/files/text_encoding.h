// Text at the file boundary: the program keeps UTF-8, recording files hold Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace zetra::files {

// UTF-8 to Windows-1252; characters the code page lacks become '?', broken sequences too.
std::string to_windows1252(std::string_view utf8);
// Windows-1252 to UTF-8; the five unassigned bytes become the control characters U+0081,
// U+008D, U+008F, U+0090 and U+009D, which to_windows1252 turns back into the same bytes.
std::string from_windows1252(std::string_view cp1252);

}  // namespace zetra::files
