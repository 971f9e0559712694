// Text at the Windows API boundary: the recorder keeps UTF-8 everywhere, Windows' wide functions
// take UTF-16. Every name, caption and message crosses here, never through the ANSI code page.
#pragma once

#include <string>
#include <string_view>

namespace zetra::platform {

// Invalid UTF-8 bytes become U+FFFD; so do unpaired surrogates on the way back.
std::wstring to_utf16(std::string_view utf8);
std::string to_utf8(std::wstring_view utf16);

// The system's text for an error code of GetLastError(), without the trailing line break.
std::string system_error_text(unsigned long code);

}  // namespace zetra::platform
