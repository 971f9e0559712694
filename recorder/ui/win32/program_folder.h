// Where the running program lies, in UTF-8: its settings, help document and libraries sit there.
#pragma once

#include <string>

namespace zetra::ui {

std::string program_folder();

}  // namespace zetra::ui
