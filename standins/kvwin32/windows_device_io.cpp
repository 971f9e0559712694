// The system's device I/O on Windows: the device opened by its name, device-control requests,
// the handle closed.
#include <windows.h>

#include "standins/kvwin32/device_io.h"

namespace zetra::standins {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows spells names in 16-bit units");

class WindowsDeviceIo final : public DeviceIo {
 public:
  DeviceHandle open(const std::u16string& name) override {
    HANDLE handle =
        CreateFileW(reinterpret_cast<const wchar_t*>(name.c_str()), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
  }

  bool control(DeviceHandle handle, uint32_t code, const void* input, uint32_t input_length,
               void* output, uint32_t output_length, uint32_t& returned) override {
    DWORD got = 0;
    const BOOL ok = DeviceIoControl(handle, code, const_cast<void*>(input), input_length, output,
                                    output_length, &got, nullptr);
    returned = ok ? got : 0;
    return ok != FALSE;
  }

  void close(DeviceHandle handle) override { CloseHandle(handle); }
};

}  // namespace

DeviceIo& system_device_io() {
  static DeviceIo* const io = new WindowsDeviceIo;  // never destroyed: units may close at exit
  return *io;
}

}  // namespace zetra::standins
