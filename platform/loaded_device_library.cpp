#include "platform/loaded_device_library.h"

namespace zetra::platform {

void LoadedDeviceLibrary::take(const Entry (&found)[kEntries]) {
  open_ = reinterpret_cast<DeviceFn>(found[0]);
  close_ = reinterpret_cast<DeviceFn>(found[1]);
  usr_config_ = reinterpret_cast<ByteFn>(found[2]);
  write_word_ = reinterpret_cast<WriteWordFn>(found[3]);
  usr_read_ = reinterpret_cast<ByteFn>(found[4]);
  read_block_ = reinterpret_cast<ReadBlockFn>(found[5]);
}

void LoadedDeviceLibrary::forget() {
  open_ = close_ = nullptr;
  usr_config_ = usr_read_ = nullptr;
  write_word_ = nullptr;
  read_block_ = nullptr;
}

int32_t LoadedDeviceLibrary::open_device(uint8_t dev_no) { return resolved() ? open_(dev_no) : 0; }

int32_t LoadedDeviceLibrary::close_device(uint8_t dev_no) {
  return resolved() ? close_(dev_no) : 0;
}

int32_t LoadedDeviceLibrary::usr_config(uint8_t dev_no, uint8_t& config) {
  return resolved() ? usr_config_(dev_no, &config) : 0;
}

int32_t LoadedDeviceLibrary::write_word(uint8_t dev_no, uint8_t address, int32_t& value) {
  return resolved() ? write_word_(dev_no, address, &value) : 0;
}

int32_t LoadedDeviceLibrary::usr_read(uint8_t dev_no, uint8_t& status) {
  return resolved() ? usr_read_(dev_no, &status) : 0;
}

int32_t LoadedDeviceLibrary::read_block(uint8_t dev_no, uint8_t address, uint8_t count,
                                        int32_t* words) {
  return resolved() ? read_block_(dev_no, address, count, words) : 0;
}

}  // namespace zetra::platform
