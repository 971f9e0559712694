// A library that lacks any of the six functions counts as not loaded.
#include "platform/qt/qt_device_library.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace zetra::platform {
namespace {

// The file QLibrary looks for: "kvwin32" is libkvwin32.so; a name with its suffix is taken as is.
QString library_file_name(const QFileInfo& given) {
  return given.fileName().contains(".so") ? given.fileName() : "lib" + given.fileName() + ".so";
}

// The loader's reason alone: QLibrary says "Cannot load library <name>: (<file>: <reason>)".
QString loader_reason(const QString& error, const QString& file_path) {
  QString reason = error;
  const qsizetype open = reason.indexOf('(');
  if (open >= 0 && reason.endsWith(')')) reason = reason.mid(open + 1, reason.size() - open - 2);
  if (reason.startsWith(file_path + ": ")) reason.remove(0, file_path.size() + 2);
  return reason.isEmpty() ? error : reason;
}

}  // namespace

QtDeviceLibrary::QtDeviceLibrary(std::string path) : path_(std::move(path)) {}

bool QtDeviceLibrary::load() {
  if (resolved()) return true;
  // The program's folder, not the search path: the library ships beside the program.
  const QString path = path_.empty() ? QCoreApplication::applicationDirPath() + "/kvwin32"
                                     : QString::fromStdString(path_);
  library_.setFileName(path);
  if (!library_.load()) {
    // Named as the file it is (with its prefix and suffix) and its folder, then the reason.
    const QFileInfo tried(path);
    const QString file = library_file_name(tried);
    const QString file_path = tried.dir().filePath(file);
    const QString where = file + " in " + tried.absolutePath();
    if (!QFileInfo::exists(file_path)) {
      load_error_ = (file + " was not found in " + tried.absolutePath()).toStdString();
    } else if (!QFileInfo(file_path).isReadable()) {
      load_error_ = (where + " cannot be read: permission denied").toStdString();
    } else {
      load_error_ = (where + " could not be loaded: " +
                     loader_reason(library_.errorString(), file_path))
                        .toStdString();
    }
    return false;
  }
  const std::string missing = resolve([this](const char* name) { return library_.resolve(name); });
  load_error_ = missing.empty() ? "" : QFileInfo(library_.fileName()).fileName().toStdString() +
                                           " lacks the function " + missing;
  if (!missing.empty()) library_.unload();
  return missing.empty();
}

}  // namespace zetra::platform
