// Resolves KV_OpenDevice, KV_CloseDevice, KV_USRConfig, KV_WriteWord, KV_USRRead and KV_ReadBlock.
// A library that lacks any of them counts as not loaded; calls before a good load return 0.
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
  if (loaded_) return true;
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
  const std::string missing = missing_function();
  loaded_ = missing.empty();
  load_error_ = loaded_ ? "" : QFileInfo(library_.fileName()).fileName().toStdString() +
                                   " lacks the function " + missing;
  if (!loaded_) library_.unload();
  return loaded_;
}

std::string QtDeviceLibrary::missing_function() {
  open_ = reinterpret_cast<DeviceFn>(library_.resolve("KV_OpenDevice"));
  close_ = reinterpret_cast<DeviceFn>(library_.resolve("KV_CloseDevice"));
  usr_config_ = reinterpret_cast<ByteFn>(library_.resolve("KV_USRConfig"));
  write_word_ = reinterpret_cast<WriteWordFn>(library_.resolve("KV_WriteWord"));
  usr_read_ = reinterpret_cast<ByteFn>(library_.resolve("KV_USRRead"));
  read_block_ = reinterpret_cast<ReadBlockFn>(library_.resolve("KV_ReadBlock"));
  const std::pair<const char*, bool> resolved[] = {
      {"KV_OpenDevice", open_ != nullptr},        {"KV_CloseDevice", close_ != nullptr},
      {"KV_USRConfig", usr_config_ != nullptr},   {"KV_WriteWord", write_word_ != nullptr},
      {"KV_USRRead", usr_read_ != nullptr},       {"KV_ReadBlock", read_block_ != nullptr}};
  for (const auto& [name, found] : resolved) {
    if (!found) return name;
  }
  return {};
}

int32_t QtDeviceLibrary::open_device(uint8_t dev_no) { return loaded_ ? open_(dev_no) : 0; }

int32_t QtDeviceLibrary::close_device(uint8_t dev_no) { return loaded_ ? close_(dev_no) : 0; }

int32_t QtDeviceLibrary::usr_config(uint8_t dev_no, uint8_t& config) {
  return loaded_ ? usr_config_(dev_no, &config) : 0;
}

int32_t QtDeviceLibrary::write_word(uint8_t dev_no, uint8_t address, int32_t& value) {
  return loaded_ ? write_word_(dev_no, address, &value) : 0;
}

int32_t QtDeviceLibrary::usr_read(uint8_t dev_no, uint8_t& status) {
  return loaded_ ? usr_read_(dev_no, &status) : 0;
}

int32_t QtDeviceLibrary::read_block(uint8_t dev_no, uint8_t address, uint8_t count,
                                    int32_t* words) {
  return loaded_ ? read_block_(dev_no, address, count, words) : 0;
}

}  // namespace zetra::platform
