// kvusb's seven control codes through the emulated I/O manager: parameters, statuses, buffer
// limits and the transfer direction rules.
#include <numeric>

#include "driver_fixture.h"

namespace kvusb_test {
namespace {

class ControlTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    port_ = plug_unit();
    handle_ = open(1);
    ASSERT_NE(handle_, nullptr);
    bus_->clear_log();
  }
  void TearDown() override {
    emu::close_device(handle_);
    unplug_all_and_check_clean();
    DriverTest::TearDown();
  }
  NTSTATUS call(ULONG code, std::vector<uint8_t> input, void* output, ULONG length) {
    returned_ = 0xDEAD;
    return control(handle_, code, std::move(input), output, length, &returned_);
  }
  int port_ = 0;
  emu::UserHandle* handle_ = nullptr;
  ULONG returned_ = 0;
};

TEST_F(ControlTest, ResetAndAbortPipe) {
  EXPECT_EQ(call(kvusb::kIoctlResetPipe, {}, nullptr, 0), STATUS_INVALID_PARAMETER) << "no pipe index";
  EXPECT_EQ(call(kvusb::kIoctlResetPipe, {2}, nullptr, 0), STATUS_INVALID_PARAMETER) << "only pipes 0 and 1";
  EXPECT_EQ(call(kvusb::kIoctlAbortPipe, {200}, nullptr, 0), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(count_prefix(bus_->log(), "urb"), 0) << "refused before anything reached the bus";

  EXPECT_EQ(call(kvusb::kIoctlResetPipe, {0}, nullptr, 0), STATUS_SUCCESS);
  EXPECT_EQ(returned_, 0u);
  EXPECT_EQ(call(kvusb::kIoctlAbortPipe, {1}, nullptr, 0), STATUS_SUCCESS);
  EXPECT_EQ(bus_->log(), (std::vector<std::string>{"reset-pipe 130", "abort-pipe 2"}));

  // A refused call is reported by reset, never by abort; a block that failed alone is "unsuccessful".
  bus_->refuse(URB_FUNCTION_RESET_PIPE, STATUS_NO_SUCH_DEVICE, USBD_STATUS_DEV_NOT_RESPONDING);
  EXPECT_EQ(call(kvusb::kIoctlResetPipe, {1}, nullptr, 0), STATUS_NO_SUCH_DEVICE);
  bus_->refuse(URB_FUNCTION_RESET_PIPE, STATUS_SUCCESS, USBD_STATUS_STALL_PID);
  EXPECT_EQ(call(kvusb::kIoctlResetPipe, {1}, nullptr, 0), STATUS_UNSUCCESSFUL);
  EXPECT_EQ(extension(port_)->last_urb_error, USBD_STATUS_STALL_PID);
  bus_->refuse(URB_FUNCTION_ABORT_PIPE, STATUS_UNSUCCESSFUL, USBD_STATUS_DEV_NOT_RESPONDING);
  EXPECT_EQ(call(kvusb::kIoctlAbortPipe, {0}, nullptr, 0), STATUS_SUCCESS);
  EXPECT_EQ(extension(port_)->last_urb_error, USBD_STATUS_DEV_NOT_RESPONDING);
}

TEST_F(ControlTest, FrameNumber) {
  uint8_t out[8] = {};
  EXPECT_EQ(call(kvusb::kIoctlGetFrameNumber, {}, out, 3), STATUS_INVALID_PARAMETER);
  bus_->set_frame_number(0x12345678);
  EXPECT_EQ(call(kvusb::kIoctlGetFrameNumber, {}, out, 8), STATUS_SUCCESS);
  EXPECT_EQ(returned_, 4u);
  ULONG frame;
  std::memcpy(&frame, out, 4);
  EXPECT_EQ(frame, 0x12345678u);
  bus_->set_frame_number(0);
  EXPECT_EQ(call(kvusb::kIoctlGetFrameNumber, {}, out, 4), STATUS_UNSUCCESSFUL) << "frame 0 means failure";
  bus_->set_frame_number(7);
  bus_->refuse(URB_FUNCTION_GET_CURRENT_FRAME_NUMBER, STATUS_UNSUCCESSFUL, USBD_STATUS_DEV_NOT_RESPONDING);
  EXPECT_EQ(call(kvusb::kIoctlGetFrameNumber, {}, out, 4), STATUS_UNSUCCESSFUL);
}

uint64_t little_endian(const std::vector<uint8_t>& bytes, size_t offset, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= uint64_t{bytes.at(offset + i)} << (8 * i);
  return value;
}

// 0x22200C answers in the caller's own layout: handle fields of 32 bits for a 32-bit program (also
// on the 64-bit system), of 64 bits for a 64-bit one. The handles are small numbers, never the
// kernel addresses the driver works with, and nothing is written past the caller's buffer.
TEST_F(ControlTest, InterfaceInformationInTheCallersLayout) {
  struct Layout {
    bool wow64;
    size_t header, pipe, handle;
  };
  for (const Layout& l : {Layout{false, 24, 24, 8}, Layout{true, 16, 20, 4}}) {
    emu::UserHandle* handle = nullptr;
    PEPROCESS process = l.wow64 ? emu::create_process(true) : emu::default_process();
    ASSERT_EQ(emu::open_device(u"\\\\.\\KVUSB-1", &handle, process), STATUS_SUCCESS);
    const ULONG length = static_cast<ULONG>(l.header + 2 * l.pipe);
    std::vector<uint8_t> out(length + 8, 0xCC);
    ULONG returned = 0;
    EXPECT_EQ(control(handle, kvusb::kIoctlGetInterfaceInformation, {}, out.data(), length - 1, &returned),
              STATUS_INVALID_PARAMETER);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0xCC; }));
    ASSERT_EQ(control(handle, kvusb::kIoctlGetInterfaceInformation, {}, out.data(), length + 8, &returned),
              STATUS_SUCCESS);
    EXPECT_EQ(returned, length) << "32-bit caller: " << l.wow64;
    EXPECT_EQ(little_endian(out, 0, 2), length) << "its own length field";
    EXPECT_EQ(out[2], 0) << "interface number";
    EXPECT_EQ(out[4], 0xFF) << "vendor-specific class";
    EXPECT_EQ(little_endian(out, 8, l.handle), 1u) << "interface handle";
    EXPECT_EQ(little_endian(out, 8 + l.handle, 4), 2u) << "number of pipes";
    const uint8_t endpoints[2] = {0x82, 0x02};
    for (size_t i = 0; i < 2; ++i) {
      const size_t record = l.header + i * l.pipe;
      EXPECT_EQ(little_endian(out, record, 2), 64u);
      EXPECT_EQ(out[record + 2], endpoints[i]);
      EXPECT_EQ(little_endian(out, record + 4, 4), uint64_t{UsbdPipeTypeBulk});
      EXPECT_EQ(little_endian(out, record + 8, l.handle), i + 1) << "pipe handle";
      EXPECT_EQ(little_endian(out, record + 8 + l.handle, 4), 65535u) << "maximum transfer size";
      EXPECT_EQ(little_endian(out, record + 12 + l.handle, 4), 0u) << "pipe flags";
    }
    EXPECT_EQ(out[length], 0xCC);
    emu::close_device(handle);
  }
}

TEST_F(ControlTest, DeviceDescriptorIsReadFresh) {
  uint8_t out[20];
  std::memset(out, 0xCC, sizeof out);
  EXPECT_EQ(call(kvusb::kIoctlGetDeviceDescriptor, {}, out, 17), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(out[0], 0xCC);
  EXPECT_EQ(call(kvusb::kIoctlGetDeviceDescriptor, {}, out, 20), STATUS_SUCCESS);
  EXPECT_EQ(returned_, 18u);
  USB_DEVICE_DESCRIPTOR d;
  std::memcpy(&d, out, 18);
  EXPECT_EQ(d.bLength, 18);
  EXPECT_EQ(d.bcdUSB, 0x0100);
  EXPECT_EQ(d.bMaxPacketSize0, 64);
  EXPECT_EQ(d.iProduct, 2);
  EXPECT_EQ(d.iSerialNumber, 0);
  EXPECT_EQ(count_prefix(bus_->log(), "descriptor 1 0 18"), 1);
  bus_->refuse(URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, STATUS_UNSUCCESSFUL, USBD_STATUS_STALL_PID);
  EXPECT_EQ(call(kvusb::kIoctlGetDeviceDescriptor, {}, out, 18), STATUS_SUCCESS) << "a failed read still succeeds";
  EXPECT_EQ(returned_, 0u);
}

TEST_F(ControlTest, TransfersFollowTheEndpointWhicheverCodeIsUsed) {
  std::vector<uint8_t> data(100);
  std::iota(data.begin(), data.end(), 1);
  for (ULONG code : {kvusb::kIoctlTransferOutDirect, kvusb::kIoctlTransferInDirect}) {
    bus_->clear_log();
    EXPECT_EQ(call(code, {1}, data.data(), 100), STATUS_SUCCESS);
    EXPECT_EQ(returned_, 100u);
    EXPECT_EQ(bus_->log(), (std::vector<std::string>{"bulk 2 out 100"})) << "pipe 1 is out for code " << code;
  }
  // Pipe 0 reads back what the loop-back holds, through either code.
  std::vector<uint8_t> in(150, 0);
  EXPECT_EQ(call(kvusb::kIoctlTransferOutDirect, {0}, in.data(), 150), STATUS_SUCCESS);
  EXPECT_EQ(returned_, 150u);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), in.begin()));
  std::vector<uint8_t> rest(64, 0);
  EXPECT_EQ(call(kvusb::kIoctlTransferInDirect, {0}, rest.data(), 64), STATUS_SUCCESS);
  EXPECT_EQ(returned_, 50u) << "a short packet is allowed";
  EXPECT_TRUE(std::equal(data.begin() + 50, data.end(), rest.begin()));
}

TEST_F(ControlTest, InDirectCodeNeverWritesIntoMemoryLockedForReading) {
  std::vector<uint8_t> data(32, 0x5A);
  ASSERT_EQ(call(kvusb::kIoctlTransferOutDirect, {1}, data.data(), 32), STATUS_SUCCESS);
  std::vector<uint8_t> read_only(32, 0);
  emu::protect_read_only(read_only.data(), read_only.size());
  bus_->clear_log();
  EXPECT_EQ(call(kvusb::kIoctlTransferInDirect, {0}, read_only.data(), 32), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(count_prefix(bus_->log(), "bulk"), 0);
  EXPECT_TRUE(std::all_of(read_only.begin(), read_only.end(), [](uint8_t b) { return b == 0; }));
  // The out-direct code has the system lock for writing, which read-only memory refuses before the driver.
  EXPECT_EQ(call(kvusb::kIoctlTransferOutDirect, {0}, read_only.data(), 32), STATUS_ACCESS_VIOLATION);
  // Reading from read-only memory for an out pipe is fine.
  EXPECT_EQ(call(kvusb::kIoctlTransferInDirect, {1}, read_only.data(), 32), STATUS_SUCCESS);
}

// The in-direct read locks the caller's range for writing itself, and locking raises when pages
// cannot be locked (a quota exceeded, a paging error). Under the driver's handler that fails the read
// cleanly: nothing reaches the bus, nothing stays locked, and the data wait for the next read.
TEST_F(ControlTest, InDirectReadFailsCleanlyWhenLockingRaises) {
  std::vector<uint8_t> data(24, 0x21), in(24, 0);
  ASSERT_EQ(call(kvusb::kIoctlTransferOutDirect, {1}, data.data(), 24), STATUS_SUCCESS);
  bus_->clear_log();
  emu::fail_probes(true);
  EXPECT_EQ(call(kvusb::kIoctlTransferInDirect, {0}, in.data(), 24), STATUS_UNSUCCESSFUL);
  emu::fail_probes(false);
  EXPECT_EQ(returned_, 0u);
  EXPECT_EQ(count_prefix(bus_->log(), "bulk"), 0);
  EXPECT_EQ(emu::outstanding_mdls(), 0u);
  EXPECT_EQ(endpoints_->queued(), 24u);
  EXPECT_EQ(call(kvusb::kIoctlTransferInDirect, {0}, in.data(), 24), STATUS_SUCCESS);
  EXPECT_EQ(returned_, 24u);
  EXPECT_EQ(in, data);
}

TEST_F(ControlTest, TransferChecks) {
  std::vector<uint8_t> big(65536, 1);
  EXPECT_EQ(call(kvusb::kIoctlTransferOutDirect, {1}, big.data(), 65536), STATUS_UNSUCCESSFUL);
  EXPECT_EQ(returned_, 0u);
  EXPECT_EQ(call(kvusb::kIoctlTransferOutDirect, {1}, big.data(), 65535), STATUS_SUCCESS) << "the largest allowed";
  EXPECT_EQ(returned_, 65535u);
  bus_->clear_log();
  EXPECT_EQ(call(kvusb::kIoctlTransferOutDirect, {1}, big.data(), 0), STATUS_UNSUCCESSFUL) << "zero-length";
  EXPECT_EQ(call(kvusb::kIoctlTransferInDirect, {2}, big.data(), 10), STATUS_UNSUCCESSFUL) << "no pipe 2";
  EXPECT_EQ(call(kvusb::kIoctlTransferOutDirect, {}, big.data(), 10), STATUS_INVALID_PARAMETER) << "no pipe index";
  EXPECT_EQ(count_prefix(bus_->log(), "bulk"), 0);
  bus_->refuse(URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER, STATUS_SUCCESS, USBD_STATUS_STALL_PID);
  EXPECT_EQ(call(kvusb::kIoctlTransferOutDirect, {1}, big.data(), 10), STATUS_UNSUCCESSFUL);
  EXPECT_EQ(extension(port_)->last_urb_error, USBD_STATUS_STALL_PID);
}

TEST_F(ControlTest, UnknownCodes) {
  uint8_t out[128];
  for (ULONG code : {0x222000u, 0x22201Cu, 0x222003u, ULONG{CTL_CODE(0x22, 0x807, METHOD_BUFFERED, 0)}})
    EXPECT_EQ(call(code, {0}, out, sizeof out), STATUS_INVALID_PARAMETER) << std::hex << code;
}

// Between a granted query-stop and the next start (or a cancelled stop) every control request is
// refused as not ready: the restart replaces what the requests read.
TEST_F(ControlTest, StopHoldsRequestsUntilStartOrCancel) {
  uint8_t out[128];
  ASSERT_EQ(bus_->pnp(port_, IRP_MN_QUERY_STOP_DEVICE), STATUS_SUCCESS);
  EXPECT_EQ(call(kvusb::kIoctlGetInterfaceInformation, {}, out, sizeof out), STATUS_DEVICE_NOT_READY);
  ASSERT_EQ(bus_->pnp(port_, IRP_MN_CANCEL_STOP_DEVICE), STATUS_SUCCESS);
  EXPECT_EQ(call(kvusb::kIoctlGetInterfaceInformation, {}, out, sizeof out), STATUS_SUCCESS);

  ASSERT_EQ(bus_->stop(port_), STATUS_SUCCESS);
  bus_->clear_log();
  EXPECT_EQ(call(kvusb::kIoctlTransferOutDirect, {1}, out, 8), STATUS_DEVICE_NOT_READY);
  EXPECT_EQ(call(kvusb::kIoctlGetInterfaceInformation, {}, out, sizeof out), STATUS_DEVICE_NOT_READY);
  EXPECT_EQ(count_prefix(bus_->log(), "bulk"), 0);
  ASSERT_EQ(bus_->start(port_), STATUS_SUCCESS);
  EXPECT_EQ(call(kvusb::kIoctlTransferOutDirect, {1}, out, 8), STATUS_SUCCESS);
  EXPECT_EQ(returned_, 8u);
}

}  // namespace
}  // namespace kvusb_test
