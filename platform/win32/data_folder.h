// Where the Windows program keeps its settings file, default recording and recovery journal:
// beside the program when this user may write there (a portable copy, a build tree), otherwise
// the user's roaming application-data folder "%APPDATA%\zetra", created on first start.
#pragma once

#include <string>

namespace zetra::platform {

// The folder that holds the running program (UTF-8).
std::string program_folder();

// The program folder when this user may create files in it; otherwise `user_folder` (by default
// the roaming application-data folder's "zetra"), created when missing. Decided once, at start-up.
std::string choose_data_folder(const std::string& program_folder, std::string user_folder = {});

}  // namespace zetra::platform
