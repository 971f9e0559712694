// The program's name, version and build date, and the texts that say them: the About box and the
// help window's title, the same in every window of the program.
#pragma once

#include <string>

namespace zetra {

inline constexpr const char* kProgramName = "zetra";
// The title of the window that shows the help document (the state's help_file).
inline constexpr const char* kHelpTitle = "ZetraII Help";

// The version of the build (the CMake project version), such as "0.1.0".
std::string program_version();
// The day the program was built, as YYYY-MM-DD (SOURCE_DATE_EPOCH when set, for repeatable builds).
std::string build_date();
// Name, version, build date and what the program is, one item per line.
std::string about_text();
// "About zetra".
std::string about_title();

}  // namespace zetra

namespace zetra::ui {
// The windows name these as their own.
using zetra::about_text;
using zetra::about_title;
using zetra::build_date;
using zetra::kProgramName;
using zetra::program_version;
}  // namespace zetra::ui
