// Common set-up of the driver tests: a fresh kernel emulation, kvusb loaded, a simulated bus, and
// helpers to plug base units and drive the control interface as the device library does.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "kernel_emulation/emulation.h"
#include "kernel_emulation/simulated_controller.h"
#include "kernel_emulation/usb_bus.h"
#include "kvusb.h"

namespace kvusb_test {

inline std::string joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const auto& l : lines) all += l + "\n";
  return all;
}

inline int count_prefix(const std::vector<std::string>& lines, const std::string& prefix) {
  int n = 0;
  for (const auto& l : lines) n += l.rfind(prefix, 0) == 0;
  return n;
}

// Waits until `done` holds; false after a 10 s safety limit (nothing in a passing test takes long).
template <typename Done>
bool wait_until(Done done) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::yield();
  }
  return true;
}

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::reset();
    NTSTATUS status;
    driver_ = emu::load_driver(DriverEntry, u"\\Driver\\kvusb", &status);
    ASSERT_EQ(status, STATUS_SUCCESS);
    bus_ = std::make_unique<emu::UsbBus>(driver_);
  }

  void TearDown() override {
    for (int port = 0; port < bus_->port_count(); ++port)
      if (bus_->present(port)) bus_->unplug(port);
    bus_.reset();
    emu::unload_driver(driver_);
    EXPECT_EQ(joined(emu::violations()), "");
  }

  // A bare controller with a loop-back behind its bulk pipes; the driver loads its firmware.
  int plug_unit() {
    endpoints_ = std::make_shared<emu::LoopbackEndpoints>();
    controller_ = std::make_shared<emu::SimulatedController>(endpoints_);
    return bus_->plug(controller_);
  }

  kvusb::DeviceExtension* extension(int port) { return kvusb::extension_of(bus_->function_device(port)); }

  emu::UserHandle* open(int unit) {
    emu::UserHandle* handle = nullptr;
    std::u16string name = u"\\\\.\\KVUSB-";
    name += static_cast<char16_t>(u'0' + unit);
    EXPECT_EQ(emu::open_device(name, &handle), STATUS_SUCCESS);
    return handle;
  }

 public:  // also for helper threads outside the fixture
  static NTSTATUS control(emu::UserHandle* handle, ULONG code, std::vector<uint8_t> input, void* output,
                          ULONG output_length, ULONG* returned) {
    return emu::device_io_control(handle, code, input.empty() ? nullptr : input.data(),
                                  static_cast<ULONG>(input.size()), output, output_length, returned);
  }

 protected:
  // Unplugs what is still on the bus and checks nothing of the driver's stays behind.
  void unplug_all_and_check_clean() {
    for (int port = 0; port < bus_->port_count(); ++port)
      if (bus_->present(port)) bus_->unplug(port);
    EXPECT_TRUE(emu::devices_of(driver_).empty());
    EXPECT_EQ(emu::outstanding_pool_blocks(), 0u);
    EXPECT_EQ(emu::outstanding_mdls(), 0u);
    EXPECT_EQ(emu::outstanding_secured_ranges(), 0u);
  }

  PDRIVER_OBJECT driver_ = nullptr;
  std::unique_ptr<emu::UsbBus> bus_;
  std::shared_ptr<emu::LoopbackEndpoints> endpoints_;
  std::shared_ptr<emu::SimulatedController> controller_;
};

// Reads a pipe-0 block of `length` bytes on a thread of its own.
struct Reader {
  Reader(emu::UserHandle* handle, ULONG length, ULONG code = kvusb::kIoctlTransferOutDirect) : data(length, 0) {
    thread = std::thread([this, handle, length, code] {
      status = DriverTest::control(handle, code, {0}, data.data(), length, &returned);
    });
  }
  void join() { thread.join(); }
  std::vector<uint8_t> data;
  std::atomic<NTSTATUS> status{STATUS_PENDING};
  ULONG returned = 0;
  std::thread thread;
};

// The reader's request has reached the bus and is NAKed there (10 s safety limit).
inline bool wait_until_parked(emu::UsbBus& bus, int port, size_t count) {
  return wait_until([&] { return bus.pending_in(port) >= count; });
}

}  // namespace kvusb_test
