// Resolves KV_OpenDevice, KV_CloseDevice, KV_USRConfig, KV_WriteWord, KV_USRRead and KV_ReadBlock.
// A library that lacks any of them counts as not loaded; calls before a good load return 0.
#include "platform/qt/qt_device_library.h"

#include <QCoreApplication>

namespace zetra::platform {

QtDeviceLibrary::QtDeviceLibrary(std::string path) : path_(std::move(path)) {}

bool QtDeviceLibrary::load() {
  if (loaded_) return true;
  // The program's folder, not the search path: the library ships beside the program.
  const QString path = path_.empty() ? QCoreApplication::applicationDirPath() + "/kvwin32"
                                     : QString::fromStdString(path_);
  library_.setFileName(path);
  if (!library_.load()) return false;
  loaded_ = resolve_all();
  if (!loaded_) library_.unload();
  return loaded_;
}

bool QtDeviceLibrary::resolve_all() {
  open_ = reinterpret_cast<DeviceFn>(library_.resolve("KV_OpenDevice"));
  close_ = reinterpret_cast<DeviceFn>(library_.resolve("KV_CloseDevice"));
  usr_config_ = reinterpret_cast<ByteFn>(library_.resolve("KV_USRConfig"));
  write_word_ = reinterpret_cast<WriteWordFn>(library_.resolve("KV_WriteWord"));
  usr_read_ = reinterpret_cast<ByteFn>(library_.resolve("KV_USRRead"));
  read_block_ = reinterpret_cast<ReadBlockFn>(library_.resolve("KV_ReadBlock"));
  return open_ && close_ && usr_config_ && write_word_ && usr_read_ && read_block_;
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
