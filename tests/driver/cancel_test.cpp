// Requests that wait on the unit end the Windows way: pended with a cancel routine, cancelled by
// CancelIoEx, by the cleanup of their handle and by the end of their process, each exactly once,
// without losing data that arrived at the same moment.
#include <atomic>
#include <thread>

#include "driver_fixture.h"

namespace kvusb_test {
namespace {

// Closing a handle ends its reads at once (the driver's cleanup cancels them; the I/O manager
// cancels nothing by itself), even from another thread while the read waits; the reads of another
// handle go on, and the unit stays usable.
TEST_F(DriverTest, ClosingAHandleEndsItsReadsOnly) {
  int port = plug_unit();
  emu::UserHandle* closing = open(1);
  emu::UserHandle* staying = open(1);
  Reader first(closing, 8);
  Reader second(closing, 8, kvusb::kIoctlTransferInDirect);
  Reader other(staying, 8);
  ASSERT_TRUE(wait_until_parked(*bus_, port, 3));
  emu::close_device(closing);
  first.join();
  second.join();
  EXPECT_EQ(first.status.load(), STATUS_CANCELLED);
  EXPECT_EQ(second.status.load(), STATUS_CANCELLED);
  EXPECT_EQ(first.returned + second.returned, 0u);
  EXPECT_EQ(bus_->pending_in(port), 1u) << "the other handle's read still waits";
  EXPECT_EQ(extension(port)->open_count, 1);

  std::vector<uint8_t> data(8, 0x3E);
  ULONG returned = 0;
  ASSERT_EQ(control(staying, kvusb::kIoctlTransferOutDirect, {1}, data.data(), 8, &returned), STATUS_SUCCESS);
  other.join();
  EXPECT_EQ(other.status.load(), STATUS_SUCCESS);
  EXPECT_EQ(other.data, data);
  emu::close_device(staying);
  unplug_all_and_check_clean();
}

// The program is ended (Task Manager) while its reads wait for a unit that never answers: its
// threads leave the driver at once, so the process can end, and its handle closes; another
// program's read on the same unit goes on.
TEST_F(DriverTest, EndingAProcessEndsItsReadsAndClosesItsHandles) {
  int port = plug_unit();
  PEPROCESS lab = emu::create_process(true);
  emu::UserHandle* ended = nullptr;
  ASSERT_EQ(emu::open_device(u"\\\\.\\KVUSB-1", &ended, lab), STATUS_SUCCESS);
  emu::UserHandle* staying = open(1);
  Reader first(ended, 8);
  Reader second(ended, 8, kvusb::kIoctlTransferInDirect);
  Reader other(staying, 8);
  ASSERT_TRUE(wait_until_parked(*bus_, port, 3));
  emu::end_process(lab);
  first.join();
  second.join();
  EXPECT_EQ(first.status.load(), STATUS_CANCELLED);
  EXPECT_EQ(second.status.load(), STATUS_CANCELLED);
  EXPECT_EQ(bus_->pending_in(port), 1u);
  EXPECT_EQ(extension(port)->open_count, 1) << "the ended process's handle was closed";

  std::vector<uint8_t> data(8, 0x4F);
  ULONG returned = 0;
  ASSERT_EQ(control(staying, kvusb::kIoctlTransferOutDirect, {1}, data.data(), 8, &returned), STATUS_SUCCESS);
  other.join();
  EXPECT_EQ(other.data, data);
  emu::close_device(staying);
  unplug_all_and_check_clean();
}

// The moment a cancel and the unit's data meet, made to happen: the bus has the data for a parked
// read and is about to complete it when the read is cancelled. The bytes are the caller's now; a
// read that reported 0 bytes here would lose them for good.
TEST_F(DriverTest, DataArrivingAsTheReadIsCancelledIsReported) {
  for (ULONG code : {kvusb::kIoctlTransferOutDirect, kvusb::kIoctlTransferInDirect}) {
    int port = plug_unit();
    emu::UserHandle* reading = open(1);
    emu::UserHandle* writing = open(1);
    Reader reader(reading, 4, code);
    ASSERT_TRUE(wait_until_parked(*bus_, port, 1));
    bool cancelled = false;
    bus_->before_completing_data([&] {
      emu::cancel_io(reading);
      cancelled = true;
    });
    std::vector<uint8_t> data = {9, 8, 7, 6};
    ULONG returned = 0;
    ASSERT_EQ(control(writing, kvusb::kIoctlTransferOutDirect, {1}, data.data(), 4, &returned), STATUS_SUCCESS);
    reader.join();
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(reader.status.load(), STATUS_SUCCESS) << std::hex << code;
    EXPECT_EQ(reader.returned, 4u);
    EXPECT_EQ(reader.data, data);
    EXPECT_EQ(endpoints_->queued(), 0u);
    emu::close_device(reading);
    emu::close_device(writing);
    unplug_all_and_check_clean();
  }
}

// CancelIoEx cancels the caller's request, wherever it is; the driver cancels the bus's.
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

}  // namespace
}  // namespace kvusb_test
