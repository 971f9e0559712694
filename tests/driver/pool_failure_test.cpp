// Pool failure at every allocation site: make allocation N fail for N = 0, 1, 2, ... until the
// operation no longer reaches N; after each failure only the expected status and no leak may remain.
#include "driver_fixture.h"

namespace kvusb_test {
namespace {

TEST_F(DriverTest, PoolFailureAtEachAllocationOfPlugAndStart) {
  int sites = 0;
  for (long n = 0;; ++n) {
    emu::fail_allocation(n);
    long before = emu::counted_allocations();
    int port = plug_unit();
    bool hit = emu::counted_allocations() - before > n;
    emu::fail_allocation(-1);
    NTSTATUS add = bus_->add_status(port);
    NTSTATUS start = bus_->start_status(port);
    EXPECT_TRUE(add == STATUS_SUCCESS || add == STATUS_INSUFFICIENT_RESOURCES || add == STATUS_NO_MEMORY) << n;
    EXPECT_TRUE(start == STATUS_SUCCESS || start == STATUS_NO_MEMORY) << n << " " << std::hex << start;
    if (NT_SUCCESS(add) && NT_SUCCESS(start)) {
      ASSERT_NE(extension(port)->interface_information, nullptr) << n;
    }
    unplug_all_and_check_clean();
    for (int p = 0; p < bus_->port_count(); ++p)
      if (bus_->present(p)) bus_->remove(p);
    if (!hit) break;
    ++sites;
    ASSERT_LT(n, 2000) << "the sweep does not end";
  }
  EXPECT_GT(sites, 320) << "the download alone builds 312 requests";
}

TEST_F(DriverTest, PoolFailureAtEachAllocationOfEveryControlCode) {
  plug_unit();
  emu::UserHandle* handle = open(1);
  struct Case {
    ULONG code;
    std::vector<uint8_t> input;
    ULONG length;
    NTSTATUS on_failure;
  };
  const Case cases[] = {
      {kvusb::kIoctlResetPipe, {0}, 0, STATUS_NO_MEMORY},
      {kvusb::kIoctlAbortPipe, {0}, 0, STATUS_SUCCESS},
      {kvusb::kIoctlGetFrameNumber, {}, 4, STATUS_UNSUCCESSFUL},
      {kvusb::kIoctlGetDeviceDescriptor, {}, 18, STATUS_SUCCESS},
      {kvusb::kIoctlTransferOutDirect, {1}, 8, STATUS_UNSUCCESSFUL},
      {kvusb::kIoctlTransferInDirect, {1}, 8, STATUS_UNSUCCESSFUL},
      {kvusb::kIoctlTransferInDirect, {0}, 8, STATUS_UNSUCCESSFUL},  // the driver's own buffer, then as any
  };
  for (const Case& c : cases) {
    for (long n = 0;; ++n) {
      // Keep something to read for the in pipe.
      std::vector<uint8_t> buffer(32, 7);
      ULONG returned = 0;
      ASSERT_EQ(control(handle, kvusb::kIoctlTransferOutDirect, {1}, buffer.data(), 8, &returned), STATUS_SUCCESS);
      emu::fail_allocation(n);
      long before = emu::counted_allocations();
      NTSTATUS status = control(handle, c.code, c.input, buffer.data(), c.length, &returned);
      bool hit = emu::counted_allocations() - before > n;
      emu::fail_allocation(-1);
      if (!hit) {
        EXPECT_EQ(status, STATUS_SUCCESS) << std::hex << c.code;
        break;
      }
      EXPECT_EQ(status, c.on_failure) << std::hex << c.code << " allocation " << n;
      if (c.code == kvusb::kIoctlGetDeviceDescriptor) {
        EXPECT_EQ(returned, 0u);
      }
      EXPECT_EQ(emu::outstanding_mdls(), 0u);
      EXPECT_EQ(emu::outstanding_secured_ranges(), 0u);
    }
  }
  emu::close_device(handle);
  unplug_all_and_check_clean();
}

// Removal must not depend on pool (low-resources simulation reaches it): with a read parked at the
// bus, an orderly remove and a surprise removal each end the read and finish whatever allocation
// fails, and leave nothing behind. Both make no allocation at all, so the sweep stops at the first.
TEST_F(DriverTest, RemovalWithAReadParkedNeedsNoPool) {
  for (bool surprise : {false, true}) {
    for (long n = 0;; ++n) {
      int port = plug_unit();
      emu::UserHandle* handle = open(1);
      Reader reader(handle, 16);
      ASSERT_TRUE(wait_until_parked(*bus_, port, 1));
      emu::fail_allocation(n);
      long before = emu::counted_allocations();
      EXPECT_EQ(surprise ? bus_->unplug(port) : bus_->remove(port), STATUS_SUCCESS);
      long made = emu::counted_allocations() - before;
      emu::fail_allocation(-1);
      reader.join();
      EXPECT_EQ(reader.status.load(), STATUS_UNSUCCESSFUL) << surprise << " " << n;
      EXPECT_EQ(made, 0) << "removal allocated (surprise: " << surprise << ")";
      emu::close_device(handle);
      unplug_all_and_check_clean();
      if (made <= n) break;
      ASSERT_LT(n, 100) << "the sweep does not end";
    }
  }
}

}  // namespace
}  // namespace kvusb_test
