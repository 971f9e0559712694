// The base unit's device library, loaded with QLibrary from the program's folder on first use.
#pragma once

#include <QLibrary>
#include <cstdint>
#include <string>

#include "platform/device_library.h"

namespace zetra::platform {

class QtDeviceLibrary final : public DeviceLibrary {
 public:
  // Loads `path` (without prefix or suffix, as QLibrary takes it); empty means "kvwin32" in the
  // folder of the running program.
  explicit QtDeviceLibrary(std::string path = {});

  bool load() override;
  std::string load_error() const override { return load_error_; }

  int32_t open_device(uint8_t dev_no) override;
  int32_t close_device(uint8_t dev_no) override;
  int32_t usr_config(uint8_t dev_no, uint8_t& config) override;
  int32_t write_word(uint8_t dev_no, uint8_t address, int32_t& value) override;
  int32_t usr_read(uint8_t dev_no, uint8_t& status) override;
  int32_t read_block(uint8_t dev_no, uint8_t address, uint8_t count, int32_t* words) override;

 private:
  // The six entry points the recorder calls, C linkage, device number first.
  using DeviceFn = int32_t (*)(uint8_t);
  using ByteFn = int32_t (*)(uint8_t, uint8_t*);
  using WriteWordFn = int32_t (*)(uint8_t, uint8_t, int32_t*);
  using ReadBlockFn = int32_t (*)(uint8_t, uint8_t, uint8_t, int32_t*);

  // Empty when all six resolve, else the first function the library lacks.
  std::string missing_function();

  std::string path_;
  QLibrary library_;
  bool loaded_ = false;  // all six functions resolved; a failed load is retried on the next connect
  std::string load_error_;  // why the last load failed
  DeviceFn open_ = nullptr, close_ = nullptr;
  ByteFn usr_config_ = nullptr, usr_read_ = nullptr;
  WriteWordFn write_word_ = nullptr;
  ReadBlockFn read_block_ = nullptr;
};

}  // namespace zetra::platform
