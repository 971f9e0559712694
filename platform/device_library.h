// The base unit's user-mode device library, loaded by name on first use.
// Only the six functions the recorder calls are reached through this interface.
#pragma once

#include <cstdint>
#include <string>

namespace zetra::platform {

class DeviceLibrary {
 public:
  virtual ~DeviceLibrary() = default;

  // Loads the library if that has not happened yet. False when it cannot be found or lacks any
  // of the six functions below; the recorder then treats the connect as failed.
  virtual bool load() = 0;
  // Why the last load() failed, naming the library (for example "kvwin32.dll is a 32-bit
  // library: use the 32-bit zetra"); empty after a good load or when there is nothing to add.
  virtual std::string load_error() const { return {}; }

  virtual int32_t open_device(uint8_t dev_no) = 0;
  virtual int32_t close_device(uint8_t dev_no) = 0;
  virtual int32_t usr_config(uint8_t dev_no, uint8_t& config) = 0;
  virtual int32_t write_word(uint8_t dev_no, uint8_t address, int32_t& value) = 0;
  virtual int32_t usr_read(uint8_t dev_no, uint8_t& status) = 0;
  virtual int32_t read_block(uint8_t dev_no, uint8_t address, uint8_t count, int32_t* words) = 0;
};

}  // namespace zetra::platform
