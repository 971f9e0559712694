// The driver's control-code dispatch in the kernel emulation on any sequence of requests: random
// codes (the seven of the interface and any other), input and output lengths and contents. Each
// request completes with a status; the emulation finds no rule broken and nothing leaks.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "kernel_emulation/emulation.h"
#include "kernel_emulation/simulated_controller.h"
#include "kernel_emulation/usb_bus.h"
#include "kvusb.h"

namespace {

constexpr ULONG kCodes[] = {kvusb::kIoctlResetPipe,          kvusb::kIoctlAbortPipe,
                            kvusb::kIoctlGetFrameNumber,     kvusb::kIoctlGetInterfaceInformation,
                            kvusb::kIoctlGetDeviceDescriptor, kvusb::kIoctlTransferOutDirect,
                            kvusb::kIoctlTransferInDirect};

struct Rig {
  Rig() {
    emu::reset();
    NTSTATUS status;
    driver = emu::load_driver(DriverEntry, u"\\Driver\\kvusb", &status);
    if (status != STATUS_SUCCESS) std::abort();
    bus = std::make_unique<emu::UsbBus>(driver);
    auto endpoints = std::make_shared<emu::LoopbackEndpoints>();
    bus->plug(std::make_shared<emu::SimulatedController>(endpoints));
    if (emu::open_device(u"\\\\.\\KVUSB-1", &handle) != STATUS_SUCCESS) std::abort();
  }
  PDRIVER_OBJECT driver = nullptr;
  std::unique_ptr<emu::UsbBus> bus;
  emu::UserHandle* handle = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Rig rig;
  size_t at = 0;
  // Each request: selector, then input and output lengths, then the input bytes.
  while (size - at >= 4) {
    const uint8_t selector = data[at];
    ULONG code = kCodes[selector % 7];
    if (selector >= 0xF0 && size - at >= 8) {  // any code at all
      std::memcpy(&code, data + at + 4, 4);
      at += 4;
    }
    const size_t input_length = data[at + 1] % 64;
    const size_t output_length = data[at + 2] | (data[at + 3] & 0x0F) << 8;
    at += 4;
    const size_t given = std::min(input_length, size - at);
    // Buffers of exactly the lengths given, so that a read or write past them is caught.
    std::vector<uint8_t> input(data + at, data + at + given);
    at += given;
    std::unique_ptr<uint8_t[]> output(new uint8_t[output_length + 1]);
    std::memset(output.get(), 0xCD, output_length + 1);
    ULONG returned = 0;
    emu::device_io_control(rig.handle, code, input.empty() ? nullptr : input.data(),
                           static_cast<ULONG>(input.size()),
                           output_length == 0 ? nullptr : output.get(),
                           static_cast<ULONG>(output_length), &returned);
    if (returned > output_length) std::abort();
  }
  if (!emu::violations().empty()) {
    for (const std::string& v : emu::violations()) std::fprintf(stderr, "violation: %s\n", v.c_str());
    std::abort();
  }
  return 0;
}
