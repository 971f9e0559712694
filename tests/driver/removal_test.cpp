// Removal while requests are in flight on other threads, requests arriving after removal began,
// reads the unit NAKs (cancelled, aborted by removal), surprise removal, and stops racing with requests.
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

// Reads a pipe-0 block of `length` bytes on a thread of its own.
struct Reader {
  Reader(emu::UserHandle* handle, ULONG length) : data(length, 0) {
    thread = std::thread([this, handle, length] {
      status = DriverTest::control(handle, kvusb::kIoctlTransferOutDirect, {0}, data.data(), length, &returned);
    });
  }
  void join() { thread.join(); }
  std::vector<uint8_t> data;
  std::atomic<NTSTATUS> status{STATUS_PENDING};
  ULONG returned = 0;
  std::thread thread;
};

// The reader's request has reached the bus and is NAKed there (10 s safety limit).
bool wait_until_parked(emu::UsbBus& bus, int port, size_t count) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (bus.pending_in(port) < count && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
  return bus.pending_in(port) >= count;
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

// Closing the handle or ending the thread cancels the caller's request; the driver cancels the bus's.
TEST_F(DriverTest, CancelledReadEndsAndTheUnitStaysUsable) {
  int port = plug_unit();
  emu::UserHandle* handle = open(1);
  for (ULONG code : {kvusb::kIoctlTransferOutDirect, kvusb::kIoctlTransferInDirect}) {
    std::vector<uint8_t> buffer(8, 0);
    ULONG returned = 0;
    std::atomic<NTSTATUS> status{STATUS_PENDING};
    std::thread reader([&] { status = control(handle, code, {0}, buffer.data(), 8, &returned); });
    ASSERT_TRUE(wait_until_parked(*bus_, port, 1));
    emu::cancel_io(handle);
    reader.join();
    EXPECT_EQ(status.load(), STATUS_CANCELLED) << std::hex << code;
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(bus_->pending_in(port), 0u);
  }
  std::vector<uint8_t> data(8, 0x44), in(8, 0);
  ULONG returned = 0;
  ASSERT_EQ(control(handle, kvusb::kIoctlTransferOutDirect, {1}, data.data(), 8, &returned), STATUS_SUCCESS);
  EXPECT_EQ(control(handle, kvusb::kIoctlTransferInDirect, {0}, in.data(), 8, &returned), STATUS_SUCCESS);
  EXPECT_EQ(in, data);
  EXPECT_EQ(emu::outstanding_secured_ranges(), 0u);
  emu::close_device(handle);
  unplug_all_and_check_clean();
}

// Cancels racing with data arriving: each read either gets its bytes or is cancelled with none, and
// nothing written is lost (the cancel routine and the completion may run at the same moment).
TEST_F(DriverTest, CancelRacingWithDataLosesNothing) {
  int port = plug_unit();
  emu::UserHandle* handle = open(1);
  size_t written = 0;
  size_t read = 0;
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> buffer(4, 0);
    ULONG returned = 0;
    std::atomic<NTSTATUS> status{STATUS_PENDING};
    std::thread reader([&] { status = control(handle, kvusb::kIoctlTransferOutDirect, {0}, buffer.data(), 4, &returned); });
    ASSERT_TRUE(wait_until_parked(*bus_, port, 1)) << round;
    std::vector<uint8_t> data(4, static_cast<uint8_t>(round));
    ULONG sent = 0;
    std::thread writer([&] { control(handle, kvusb::kIoctlTransferOutDirect, {1}, data.data(), 4, &sent); });
    emu::cancel_io(handle);
    reader.join();
    writer.join();
    written += sent;
    if (status == STATUS_SUCCESS) {
      EXPECT_EQ(returned, 4u);
      read += returned;
    } else {
      EXPECT_EQ(status.load(), STATUS_CANCELLED) << round;
      EXPECT_EQ(returned, 0u);
    }
    // Whatever the cancelled read did not take is still queued: drain it so each round starts empty.
    ASSERT_EQ(endpoints_->queued(), written - read) << "round " << round << ": data lost";
    if (written > read) {
      std::vector<uint8_t> rest(written - read, 0);
      ASSERT_EQ(control(handle, kvusb::kIoctlTransferOutDirect, {0}, rest.data(), static_cast<ULONG>(rest.size()),
                        &returned), STATUS_SUCCESS);
      EXPECT_EQ(rest, std::vector<uint8_t>(rest.size(), static_cast<uint8_t>(round))) << round;
      read += returned;
    }
  }
  EXPECT_EQ(read, written);
  emu::close_device(handle);
  unplug_all_and_check_clean();
}

// The moment the race above hits only by chance, made to happen: IoCancelIrp has taken a parked
// bus request's cancel routine but not yet called it when data arrive. The request is the cancel
// routine's to end; the bus must neither complete it nor hand it the data.
TEST_F(DriverTest, ARequestWhoseCancelRoutineIsTakenIsLeftToThatRoutine) {
  int port = plug_unit();
  PDEVICE_OBJECT pdo = bus_->pdo(port);
  uint8_t buffer[4] = {};
  URB urb{};
  UsbBuildInterruptOrBulkTransferRequest(&urb, sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER),
                                         extension(port)->interface_information->Pipes[0].PipeHandle, buffer,
                                         nullptr, sizeof buffer, USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK,
                                         nullptr);
  PIRP irp = IoAllocateIrp(pdo->StackSize, FALSE);
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
  next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
  next->Parameters.Others.Argument1 = &urb;
  static int completions;
  completions = 0;
  IoSetCompletionRoutine(irp, [](PDEVICE_OBJECT, PIRP, PVOID) -> NTSTATUS {
    ++completions;
    return STATUS_MORE_PROCESSING_REQUIRED;
  }, nullptr, TRUE, TRUE, TRUE);
  ASSERT_EQ(IoCallDriver(pdo, irp), STATUS_PENDING);
  ASSERT_EQ(bus_->pending_in(port), 1u);

  // The first half of IoCancelIrp: the flag, and the routine taken.
  __atomic_store_n(&irp->Cancel, TRUE, __ATOMIC_RELEASE);
  PDRIVER_CANCEL routine = IoSetCancelRoutine(irp, nullptr);
  ASSERT_NE(routine, nullptr);
  emu::UserHandle* handle = open(1);
  uint8_t data[4] = {1, 2, 3, 4};
  ULONG sent = 0;
  ASSERT_EQ(control(handle, kvusb::kIoctlTransferOutDirect, {1}, data, 4, &sent), STATUS_SUCCESS);
  EXPECT_EQ(completions, 0) << "completed by the bus while its cancel routine was on its way";
  EXPECT_EQ(endpoints_->queued(), 4u) << "the data went to a cancelled request";

  // The second half: the routine runs, under the cancel spin lock it releases.
  IoAcquireCancelSpinLock(&irp->CancelIrql);
  routine(pdo, irp);
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(irp->IoStatus.Status, STATUS_CANCELLED);
  EXPECT_EQ(bus_->pending_in(port), 0u);
  IoFreeIrp(irp);

  uint8_t in[4] = {};
  ULONG returned = 0;
  EXPECT_EQ(control(handle, kvusb::kIoctlTransferOutDirect, {0}, in, 4, &returned), STATUS_SUCCESS);
  EXPECT_EQ(std::vector<uint8_t>(in, in + 4), std::vector<uint8_t>(data, data + 4));
  emu::close_device(handle);
  unplug_all_and_check_clean();
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

// A bus may complete the reads an abort ended after the abort itself (on another processor): the
// remove must wait until the read is back with the driver, not only until the abort is through.
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
  EXPECT_TRUE(bus_->wait_for_held_bulk(1)) << "the abort ended the read";
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

// Surprise removal: requests are refused at once, the name goes at once, and once the last handle
// is closed and the remove is through, the unit plugged in again is KVUSB-1 again.
TEST_F(DriverTest, SurpriseRemovalRefusesRequestsAndFreesTheName) {
  int port = plug_unit();
  emu::UserHandle* handle = open(1);
  Reader reader(handle, 8);
  ASSERT_TRUE(wait_until_parked(*bus_, port, 1));
  EXPECT_EQ(bus_->surprise_remove(port), STATUS_SUCCESS);
  reader.join();
  EXPECT_EQ(reader.status.load(), STATUS_UNSUCCESSFUL) << "the read ended when the pipes were aborted";
  EXPECT_FALSE(emu::symbolic_link_exists(u"\\DosDevices\\KVUSB-1"));
  uint8_t frame[4];
  ULONG returned = 0;
  EXPECT_EQ(control(handle, kvusb::kIoctlGetFrameNumber, {}, frame, 4, &returned), STATUS_DELETE_PENDING);
  EXPECT_EQ(control(handle, kvusb::kIoctlTransferOutDirect, {1}, frame, 4, &returned), STATUS_DELETE_PENDING);
  emu::UserHandle* late = nullptr;
  EXPECT_EQ(emu::open_device(u"\\Device\\KVUSB-1", &late), STATUS_DELETE_PENDING) << "no new handles";
  emu::close_device(handle);
  EXPECT_EQ(bus_->finish_removal(port), STATUS_SUCCESS);
  EXPECT_FALSE(emu::device_name_exists(u"\\Device\\KVUSB-1"));
  plug_unit();
  EXPECT_TRUE(emu::symbolic_link_exists(u"\\DosDevices\\KVUSB-1"));
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
