// The operating system's device I/O as the library's driver path needs it: open a device by name,
// send it device-control requests, close it. One definition of system_device_io() per build:
// emulated_device_io.cpp (the kernel emulation's I/O manager) or windows_device_io.cpp.
#pragma once

#include <cstdint>
#include <string>

namespace zetra::standins {

using DeviceHandle = void*;  // null = no device

class DeviceIo {
 public:
  virtual ~DeviceIo() = default;

  // `name` as user mode spells it, "\\.\KVUSB-1"; null when there is no such device or it
  // refuses to open.
  virtual DeviceHandle open(const std::u16string& name) = 0;
  // One device-control request; false when the driver fails it. `returned` = the byte count the
  // driver reports (0 on failure).
  virtual bool control(DeviceHandle handle, uint32_t code, const void* input, uint32_t input_length,
                       void* output, uint32_t output_length, uint32_t& returned) = 0;
  virtual void close(DeviceHandle handle) = 0;
};

// The system's device I/O; lives until the process ends.
DeviceIo& system_device_io();

}  // namespace zetra::standins
