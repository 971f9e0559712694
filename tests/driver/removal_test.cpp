// Removal while requests are in flight on other threads, and requests arriving after removal began.
#include <atomic>
#include <thread>

#include "driver_fixture.h"

namespace kvusb_test {
namespace {

bool removing(kvusb::DeviceExtension* extension) {
  KIRQL irql;
  KeAcquireSpinLock(&extension->lock, &irql);
  bool result = extension->removing != 0;
  KeReleaseSpinLock(&extension->lock, irql);
  return result;
}

TEST_F(DriverTest, RemoveWaitsForTheTransferInProgressAndRefusesNewRequests) {
  bus_->complete_on_worker(true);
  int port = plug_unit();
  emu::UserHandle* handle = open(1);
  kvusb::DeviceExtension* ext = extension(port);
  std::vector<uint8_t> data(16, 0x42);
  ULONG returned = 0;
  ASSERT_EQ(control(handle, kvusb::kIoctlTransferOutDirect, {1}, data.data(), 16, &returned), STATUS_SUCCESS);

  bus_->clear_log();
  bus_->hold_bulk(true);
  std::vector<uint8_t> in(16, 0);
  NTSTATUS transfer_status = 0;
  ULONG transferred = 0;
  std::thread transfer([&] {
    transfer_status = control(handle, kvusb::kIoctlTransferInDirect, {0}, in.data(), 16, &transferred);
  });
  ASSERT_TRUE(bus_->wait_for_held_bulk(1));
  std::atomic<bool> removed{false};
  std::thread remover([&] {
    bus_->unplug(port);
    removed = true;
  });
  // The transfer waits for its block, the remove for the pending count: two blocked waiters.
  ASSERT_TRUE(emu::wait_for_blocked_waiters(2));
  ASSERT_TRUE(removing(ext));
  EXPECT_FALSE(removed);

  uint8_t frame[4];
  EXPECT_EQ(control(handle, kvusb::kIoctlGetFrameNumber, {}, frame, 4, &returned), STATUS_DELETE_PENDING);
  int start_next = 0;
  EXPECT_EQ(bus_->power(port, IRP_MN_SET_POWER, &start_next), STATUS_DELETE_PENDING);
  EXPECT_EQ(start_next, 1) << "a refused power request still lets the next one start";
  EXPECT_EQ(bus_->pnp(port, IRP_MN_QUERY_STOP_DEVICE), STATUS_DELETE_PENDING);
  EXPECT_FALSE(removed);

  bus_->hold_bulk(false);
  transfer.join();
  remover.join();
  EXPECT_EQ(transfer_status, STATUS_SUCCESS);
  EXPECT_EQ(transferred, 16u);
  EXPECT_EQ(in, data);
  std::vector<std::string> log = bus_->log();
  auto bulk = std::find(log.begin(), log.end(), "bulk 82 in 16");
  auto remove = std::find(log.begin(), log.end(), "pnp 2");
  EXPECT_LT(bulk, remove) << "the remove reached the bus only after the transfer finished";

  // The handle outlives the device object's removal; the driver refuses what still comes.
  EXPECT_EQ(control(handle, kvusb::kIoctlGetFrameNumber, {}, frame, 4, &returned), STATUS_DELETE_PENDING);
  emu::close_device(handle);
  unplug_all_and_check_clean();
}

// Several threads transfer and query while the unit is unplugged under them.
TEST_F(DriverTest, UnplugWhileManyThreadsUseTheUnit) {
  for (bool worker : {false, true}) {
    bus_->complete_on_worker(worker);
    int port = plug_unit();
    emu::UserHandle* handle = open(1);
    std::atomic<int> done_ok{0};
    std::atomic<bool> unexpected{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&, t] {
        std::vector<uint8_t> buffer(64, static_cast<uint8_t>(t));
        for (;;) {
          ULONG returned = 0;
          ULONG code = t % 2 ? kvusb::kIoctlTransferOutDirect : kvusb::kIoctlGetFrameNumber;
          std::vector<uint8_t> input = t % 2 ? std::vector<uint8_t>{1} : std::vector<uint8_t>{};
          NTSTATUS status = control(handle, code, input, buffer.data(), t % 2 ? 64 : 4, &returned);
          if (status == STATUS_SUCCESS) {
            ++done_ok;
            continue;
          }
          if (status != STATUS_DELETE_PENDING && status != STATUS_UNSUCCESSFUL) unexpected = true;
          return;
        }
      });
    }
    while (done_ok < 200) std::this_thread::yield();
    bus_->unplug(port);
    for (auto& t : threads) t.join();
    EXPECT_FALSE(unexpected);
    emu::close_device(handle);
    unplug_all_and_check_clean();
  }
}

}  // namespace
}  // namespace kvusb_test
