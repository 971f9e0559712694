// Removal while requests are in flight on other threads, requests arriving after removal began,
// reads the unit NAKs (aborted by removal), surprise removal and re-plugging, and stops racing with
// requests.
#include <atomic>
#include <chrono>
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
    bus_->remove(port);
    removed = true;
  });
  // The transfer waits for its block, the remove for its abort behind it: two blocked waiters.
  ASSERT_TRUE(emu::wait_for_blocked_waiters(2));
  ASSERT_TRUE(removing(ext));
  EXPECT_FALSE(removed);

  uint8_t frame[4];
  EXPECT_EQ(control(handle, kvusb::kIoctlGetFrameNumber, {}, frame, 4, &returned), STATUS_DELETE_PENDING);
  int start_next = 0;
  EXPECT_EQ(bus_->power(port, IRP_MN_SET_POWER, &start_next), STATUS_DELETE_PENDING);
  EXPECT_EQ(start_next, 1) << "a refused power request still lets the next one start";
  EXPECT_EQ(bus_->pnp(port, IRP_MN_QUERY_STOP_DEVICE), STATUS_DELETE_PENDING);
  EXPECT_EQ(bus_->system_control(port), STATUS_DELETE_PENDING) << "refused, not passed down";
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
    std::atomic<int> finished{0};
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
          ++finished;
          return;
        }
      });
    }
    while (done_ok < 200 && finished == 0) std::this_thread::yield();
    EXPECT_EQ(finished, 0) << "a request failed before the unplug";
    bus_->unplug(port);
    for (auto& t : threads) t.join();
    EXPECT_FALSE(unexpected);
    emu::close_device(handle);
    unplug_all_and_check_clean();
  }
}

// An IN endpoint with nothing to send NAKs: the read stays pending until data arrive.
TEST_F(DriverTest, ReadWithNothingToReadWaitsForData) {
  for (bool worker : {false, true}) {
    bus_->complete_on_worker(worker);
    int port = plug_unit();
    emu::UserHandle* handle = open(1);
    Reader reader(handle, 16);
    ASSERT_TRUE(wait_until_parked(*bus_, port, 1));
    EXPECT_EQ(reader.status.load(), STATUS_PENDING);
    std::vector<uint8_t> data(16, 0x33);
    ULONG returned = 0;
    ASSERT_EQ(control(handle, kvusb::kIoctlTransferOutDirect, {1}, data.data(), 16, &returned), STATUS_SUCCESS);
    reader.join();
    EXPECT_EQ(reader.status.load(), STATUS_SUCCESS);
    EXPECT_EQ(reader.returned, 16u);
    EXPECT_EQ(reader.data, data);
    emu::close_device(handle);
    unplug_all_and_check_clean();
  }
}

// A remove (with or without surprise removal first) aborts the pipes before it waits, so a read the
// unit NAKs ends instead of holding Plug and Play for ever.
TEST_F(DriverTest, RemovalAbortsAReadTheUnitNaks) {
  for (bool surprise : {false, true}) {
    for (bool worker : {false, true}) {
      bus_->complete_on_worker(worker);
      int port = plug_unit();
      emu::UserHandle* handle = open(1);
      Reader reader(handle, 16);
      ASSERT_TRUE(wait_until_parked(*bus_, port, 1));
      bus_->clear_log();
      if (surprise)
        bus_->unplug(port);
      else
        EXPECT_EQ(bus_->remove(port), STATUS_SUCCESS);
      reader.join();
      EXPECT_EQ(reader.status.load(), STATUS_UNSUCCESSFUL) << "0 bytes";
      EXPECT_EQ(reader.returned, 0u);
      std::vector<std::string> log = bus_->log();
      auto abort = std::find(log.begin(), log.end(), "abort-pipe 130");
      EXPECT_LT(abort, std::find(log.begin(), log.end(), "pnp 2")) << joined(log);
      emu::close_device(handle);
      unplug_all_and_check_clean();
    }
  }
}

// A bus may complete the reads it ended (aborted, cancelled) later, on another processor: the remove
// must wait until the read is back with the driver, not only until its abort or cancel is through.
TEST_F(DriverTest, RemoveWaitsForAReadTheBusReturnsAfterTheAbort) {
  bus_->complete_on_worker(true);
  int port = plug_unit();
  emu::UserHandle* handle = open(1);
  Reader reader(handle, 16);
  ASSERT_TRUE(wait_until_parked(*bus_, port, 1));
  bus_->hold_bulk(true);
  std::atomic<bool> removed{false};
  std::thread remover([&] {
    bus_->remove(port);
    removed = true;
  });
  EXPECT_TRUE(bus_->wait_for_held_bulk(1)) << "the removal ended the read";
  // The reader and the remove both wait now, unless the remove went on without the read.
  wait_until([&] { return removed || emu::blocked_waiters() >= 2; });
  EXPECT_FALSE(removed) << "the remove went down while the bus still held the read";
  bus_->hold_bulk(false);
  remover.join();
  reader.join();
  EXPECT_EQ(reader.status.load(), STATUS_UNSUCCESSFUL);
  EXPECT_EQ(reader.returned, 0u);
  emu::close_device(handle);
  unplug_all_and_check_clean();
}

// Surprise removal: the read the unit held ends, requests are refused at once and the link goes at
// once. Plugged in again while the program still holds its stale handle, the unit is KVUSB-1 again
// (that handle keeps the old device object, and its name, alive until it is closed).
TEST_F(DriverTest, UnitPluggedBackWhileAStaleHandleIsOpenIsKvusb1Again) {
  int port = plug_unit();
  emu::UserHandle* stale = open(1);
  const std::u16string old_device = emu::device_name_of(emu::device_of(stale));
  Reader reader(stale, 8);
  ASSERT_TRUE(wait_until_parked(*bus_, port, 1));
  EXPECT_EQ(bus_->surprise_remove(port), STATUS_SUCCESS);
  reader.join();
  EXPECT_EQ(reader.status.load(), STATUS_UNSUCCESSFUL) << "the read ended with the unit";
  EXPECT_FALSE(emu::symbolic_link_exists(u"\\DosDevices\\KVUSB-1"));
  uint8_t frame[4];
  ULONG returned = 0;
  EXPECT_EQ(control(stale, kvusb::kIoctlGetFrameNumber, {}, frame, 4, &returned), STATUS_DELETE_PENDING);
  EXPECT_EQ(control(stale, kvusb::kIoctlTransferOutDirect, {1}, frame, 4, &returned), STATUS_DELETE_PENDING);
  emu::UserHandle* late = nullptr;
  EXPECT_EQ(emu::open_device(old_device, &late), STATUS_DELETE_PENDING) << "no new handles to the old unit";

  int again = plug_unit();
  emu::UserHandle* fresh = open(1);
  ASSERT_NE(fresh, nullptr) << "the unit plugged in again is not KVUSB-1";
  EXPECT_EQ(emu::device_of(fresh), bus_->function_device(again));
  std::vector<uint8_t> data(8, 0x5C), in(8, 0);
  EXPECT_EQ(control(fresh, kvusb::kIoctlTransferOutDirect, {1}, data.data(), 8, &returned), STATUS_SUCCESS);
  EXPECT_EQ(control(fresh, kvusb::kIoctlTransferOutDirect, {0}, in.data(), 8, &returned), STATUS_SUCCESS);
  EXPECT_EQ(in, data);
  EXPECT_EQ(control(stale, kvusb::kIoctlGetFrameNumber, {}, frame, 4, &returned), STATUS_DELETE_PENDING);

  emu::close_device(stale);
  EXPECT_EQ(bus_->finish_removal(port), STATUS_SUCCESS);
  EXPECT_FALSE(emu::device_name_exists(old_device));
  emu::close_device(fresh);
  unplug_all_and_check_clean();
}

// A stop is refused while a request is inside (a read may wait for data indefinitely); the refused
// stop is cancelled and the read goes on.
TEST_F(DriverTest, StopIsRefusedWhileARequestIsInside) {
  int port = plug_unit();
  emu::UserHandle* handle = open(1);
  Reader reader(handle, 8);
  ASSERT_TRUE(wait_until_parked(*bus_, port, 1));
  bus_->clear_log();
  EXPECT_EQ(bus_->stop(port), STATUS_DEVICE_BUSY);
  EXPECT_EQ(bus_->log(), (std::vector<std::string>{"pnp 6"})) << "the query was answered here and then cancelled";
  std::vector<uint8_t> data(8, 0x11);
  ULONG returned = 0;
  ASSERT_EQ(control(handle, kvusb::kIoctlTransferOutDirect, {1}, data.data(), 8, &returned), STATUS_SUCCESS);
  reader.join();
  EXPECT_EQ(reader.status.load(), STATUS_SUCCESS);
  EXPECT_EQ(reader.data, data);
  EXPECT_EQ(bus_->stop(port), STATUS_SUCCESS) << "nothing inside any more";
  EXPECT_EQ(bus_->start(port), STATUS_SUCCESS);
  emu::close_device(handle);
  unplug_all_and_check_clean();
}

// Restarts while other threads read the interface information and transfer: no request may see the
// copy a restart frees (the ThreadSanitizer run and the pool's poisoning would show it).
TEST_F(DriverTest, RestartsWhileOtherThreadsUseTheUnit) {
  int port = plug_unit();
  emu::UserHandle* handle = open(1);
  std::atomic<bool> stop{false};
  std::atomic<bool> unexpected{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&, t] {
      std::vector<uint8_t> buffer(128, 0);
      while (!stop) {
        ULONG returned = 0;
        NTSTATUS status = t == 0 ? control(handle, kvusb::kIoctlGetInterfaceInformation, {}, buffer.data(), 128, &returned)
                                 : control(handle, kvusb::kIoctlTransferOutDirect, {1}, buffer.data(), 8, &returned);
        if (status != STATUS_SUCCESS && status != STATUS_DEVICE_NOT_READY) unexpected = true;
        std::this_thread::yield();  // leaves the stops a chance to find no request inside
      }
    });
  }
  int restarts = 0;
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);  // safety only
  while (restarts < 40 && std::chrono::steady_clock::now() < limit) {
    if (bus_->stop(port) != STATUS_SUCCESS) continue;  // busy: a request was inside
    ASSERT_EQ(bus_->start(port), STATUS_SUCCESS);
    ++restarts;
  }
  stop = true;
  for (auto& t : threads) t.join();
  EXPECT_FALSE(unexpected);
  EXPECT_EQ(restarts, 40);
  emu::close_device(handle);
  unplug_all_and_check_clean();
}

TEST_F(DriverTest, InstrumentationRequestsArePassedDown) {
  int port = plug_unit();
  bus_->clear_log();
  EXPECT_EQ(bus_->system_control(port), STATUS_NOT_SUPPORTED) << "the bus's answer, unchanged";
  EXPECT_EQ(bus_->log(), (std::vector<std::string>{"system-control"}));
  unplug_all_and_check_clean();
}

}  // namespace
}  // namespace kvusb_test
