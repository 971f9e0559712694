#include "platform/qt/data_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace zetra::platform {

QString choose_data_folder(const QString& program_folder, QString user_folder) {
  // isWritable asks the system for this user (access(2)), which also refuses a read-only mount.
  const QFileInfo program(program_folder);
  if (program.isDir() && program.isWritable()) return program_folder;
  if (user_folder.isEmpty()) {
    user_folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  }
  // A folder that cannot be made still names where the files were expected: the save that fails
  // reports it with the reason.
  QDir().mkpath(user_folder);
  return user_folder;
}

}  // namespace zetra::platform
