// The system's device I/O in the kernel emulation: its user-mode I/O manager.
#include "kernel_emulation/emulation.h"
#include "standins/kvwin32/device_io.h"

namespace zetra::standins {

namespace {

class EmulatedDeviceIo final : public DeviceIo {
 public:
  DeviceHandle open(const std::u16string& name) override {
    emu::UserHandle* handle = nullptr;
    return emu::open_device(name, &handle) == STATUS_SUCCESS ? handle : nullptr;
  }

  bool control(DeviceHandle handle, uint32_t code, const void* input, uint32_t input_length,
               void* output, uint32_t output_length, uint32_t& returned) override {
    ULONG got = 0;
    const NTSTATUS status =
        emu::device_io_control(static_cast<emu::UserHandle*>(handle), code, input, input_length,
                               output, output_length, &got);
    returned = NT_SUCCESS(status) ? got : 0;
    return NT_SUCCESS(status);
  }

  void close(DeviceHandle handle) override {
    emu::close_device(static_cast<emu::UserHandle*>(handle));
  }
};

}  // namespace

DeviceIo& system_device_io() {
  static DeviceIo* const io = new EmulatedDeviceIo;  // never destroyed: units may close at exit
  return *io;
}

}  // namespace zetra::standins
