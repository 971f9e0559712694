// The About box's text: program name, version and build date.
#pragma once

#include <string>

namespace zetra::ui {

inline constexpr const char* kProgramName = "zetra";

// The version of the build (the CMake project version), such as "0.1.0".
std::string program_version();
// The day the program was built, as YYYY-MM-DD (SOURCE_DATE_EPOCH when set, for repeatable builds).
std::string build_date();
// Name, version, build date and what the program is, one item per line.
std::string about_text();

}  // namespace zetra::ui
