// Where the program keeps its settings file, default recording and recovery journal: beside the
// program when its folder is writable (a build tree), else the user's own data folder.
#pragma once

#include <QString>

namespace zetra::platform {

// The program folder when this user may write into it; otherwise `user_folder` (by default Qt's
// application data location, such as ~/.local/share/zetra), created when missing. Decided once,
// at start-up.
QString choose_data_folder(const QString& program_folder, QString user_folder = {});

}  // namespace zetra::platform
