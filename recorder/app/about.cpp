// ZETRA_VERSION and ZETRA_BUILD_DATE come from the build (recorder/app/CMakeLists.txt).
#include "recorder/app/about.h"

namespace zetra {

std::string program_version() { return ZETRA_VERSION; }

std::string build_date() { return ZETRA_BUILD_DATE; }

std::string about_text() {
  return std::string(kProgramName) + " " + program_version() +
         "\nRecorder for the ZetraII two-channel electrochemical meter" +
         "\nBuilt " + build_date();
}

std::string about_title() { return "About " + std::string(kProgramName); }

}  // namespace zetra
