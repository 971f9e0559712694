// Text at the file boundary: the program keeps UTF-8, recording files hold Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace zetra::files {

// UTF-8 to Windows-1252; characters the code page lacks become '?', broken sequences too.
std::string to_windows1252(std::string_view utf8);
// Windows-1252 to UTF-8; the five unassigned bytes become U+FFFD.
std::string from_windows1252(std::string_view cp1252);

}  // namespace zetra::files
