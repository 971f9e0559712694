// ZETRA_VERSION and ZETRA_BUILD_DATE come from the build (recorder/ui/qt/CMakeLists.txt).
#include "recorder/ui/qt/about.h"

namespace zetra::ui {

std::string program_version() { return ZETRA_VERSION; }

std::string build_date() { return ZETRA_BUILD_DATE; }

std::string about_text() {
  return std::string(kProgramName) + " " + program_version() +
         "\nRecorder for the ZetraII two-channel electrochemical meter" +
         "\nBuilt " + build_date();
}

}  // namespace zetra::ui
