// The serial port and the device library for a build that has no Windows implementation of them
// linked in: nothing opens, so On reports the failed connect as it would with no hardware. The
// program is built with the system's serial ports and the device library where those exist.
#pragma once

#include "platform/device_library.h"
#include "platform/serial_port.h"

namespace zetra::ui {

class AbsentSerialPort final : public platform::SerialPort {
 public:
  void select(int port_number) override { selected_ = port_number; }
  int selected() const override { return selected_; }
  std::string device_path(int port_number) const override {
    return "COM" + std::to_string(port_number);
  }
  bool open() override { return false; }
  void close() override {}
  bool is_open() const override { return false; }
  bool set_dtr(bool) override { return false; }
  bool set_rts(bool) override { return false; }
  bool set_break(bool) override { return false; }
  bool cts() override { return false; }
  bool dsr() override { return false; }
  bool cd() override { return false; }

 private:
  int selected_ = 1;
};

class AbsentDeviceLibrary final : public platform::DeviceLibrary {
 public:
  bool load() override { return false; }
  int32_t open_device(uint8_t) override { return 0; }
  int32_t close_device(uint8_t) override { return 0; }
  int32_t usr_config(uint8_t, uint8_t&) override { return 0; }
  int32_t write_word(uint8_t, uint8_t, int32_t&) override { return 0; }
  int32_t usr_read(uint8_t, uint8_t&) override { return 0; }
  int32_t read_block(uint8_t, uint8_t, uint8_t, int32_t*) override { return 0; }
};

}  // namespace zetra::ui
