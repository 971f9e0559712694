// The driver's control-code dispatch in the kernel emulation on any sequence of requests: random
// codes (the seven of the interface and any other), input and output lengths and contents, from a
// 64-bit or a 32-bit process. Each request completes with a status; the emulation finds no rule
// broken and nothing leaks. Every input gets a fresh emulation (driver loaded, unit plugged,
// handles open) that is taken down again afterwards, so memory stays flat however long the run.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
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

// A loop-back whose IN endpoint answers a zero-length packet instead of NAKing when it holds
// nothing: a read on an empty pipe ends at once instead of waiting for data no one will send.
class ZeroLengthWhenEmpty : public emu::BulkEndpoints {
 public:
  USBD_STATUS out(const uint8_t* data, size_t length) override { return loopback_.out(data, length); }
  USBD_STATUS in(uint8_t* data, size_t capacity, size_t* transferred) override {
    USBD_STATUS status = loopback_.in(data, capacity, transferred);
    return status == emu::kNak ? USBD_STATUS_SUCCESS : status;
  }

 private:
  emu::LoopbackEndpoints loopback_;
};

struct Rig {
  Rig() {
    emu::reset();
    NTSTATUS status;
    driver = emu::load_driver(DriverEntry, u"\\Driver\\kvusb", &status);
    if (status != STATUS_SUCCESS) std::abort();
    bus = std::make_unique<emu::UsbBus>(driver);
    port = bus->plug(std::make_shared<emu::SimulatedController>(std::make_shared<ZeroLengthWhenEmpty>()));
    if (emu::open_device(u"\\\\.\\KVUSB-1", &handle) != STATUS_SUCCESS) std::abort();
    static PEPROCESS const narrow_process = emu::create_process(true);  // one for the whole run
    if (emu::open_device(u"\\\\.\\KVUSB-1", &narrow_handle, narrow_process) != STATUS_SUCCESS) std::abort();
  }
  ~Rig() {
    emu::close_device(handle);
    emu::close_device(narrow_handle);
    bus->unplug(port);
    bus.reset();
    emu::unload_driver(driver);
    if (emu::outstanding_pool_blocks() != 0 || emu::outstanding_mdls() != 0) std::abort();
  }
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;
  PDRIVER_OBJECT driver = nullptr;
  std::unique_ptr<emu::UsbBus> bus;
  int port = 0;
  emu::UserHandle* handle = nullptr;
  emu::UserHandle* narrow_handle = nullptr;  // of a 32-bit program
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::optional<Rig> rig(std::in_place);
  size_t at = 0;
  // Each request: selector, then input and output lengths (bit 0x10 of the fourth byte: from the
  // 32-bit program), then the input bytes.
  while (size - at >= 4) {
    const uint8_t selector = data[at];
    ULONG code = kCodes[selector % 7];
    if (selector >= 0xF0 && size - at >= 8) {  // any code at all
      std::memcpy(&code, data + at + 4, 4);
      at += 4;
    }
    const size_t input_length = data[at + 1] % 64;
    const size_t output_length = data[at + 2] | (data[at + 3] & 0x0F) << 8;
    emu::UserHandle* handle = data[at + 3] & 0x10 ? rig->narrow_handle : rig->handle;
    at += 4;
    const size_t given = std::min(input_length, size - at);
    // Buffers of exactly the lengths given, so that a read or write past them is caught.
    std::vector<uint8_t> input(data + at, data + at + given);
    at += given;
    std::unique_ptr<uint8_t[]> output(new uint8_t[output_length + 1]);
    std::memset(output.get(), 0xCD, output_length + 1);
    ULONG returned = 0;
    emu::device_io_control(handle, code, input.empty() ? nullptr : input.data(),
                           static_cast<ULONG>(input.size()),
                           output_length == 0 ? nullptr : output.get(),
                           static_cast<ULONG>(output_length), &returned);
    if (returned > output_length) std::abort();
  }
  rig.reset();
  if (!emu::violations().empty()) {
    for (const std::string& v : emu::violations()) std::fprintf(stderr, "violation: %s\n", v.c_str());
    std::abort();
  }
  return 0;
}
