// The kernel emulation's own rules, which the driver tests rely on to fail: routines called above
// their interrupt level, requests touched after completion, user memory touched outside its process,
// above APC_LEVEL or without a handler, and closing as cleanup then close. Each case breaks one rule
// on purpose and expects the violation.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "kernel_emulation/emulation.h"

namespace {

bool reported(const std::string& part) {
  for (const std::string& v : emu::violations())
    if (v.find(part) != std::string::npos) return true;
  return false;
}

TEST(EmulationRules, PassiveLevelRoutinesUnderASpinLockAreViolations) {
  emu::reset();
  KSPIN_LOCK lock;
  KeInitializeSpinLock(&lock);
  KIRQL irql;
  KeAcquireSpinLock(&lock, &irql);
  EXPECT_EQ(KeGetCurrentIrql(), DISPATCH_LEVEL);
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, u"\\DosDevices\\NOTHING");
  IoDeleteSymbolicLink(&name);
  KEVENT event;
  KeInitializeEvent(&event, NotificationEvent, TRUE);
  KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
  KeReleaseSpinLock(&lock, irql);
  EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
  EXPECT_TRUE(reported("IoDeleteSymbolicLink called at IRQL 2"));
  EXPECT_TRUE(reported("KeWaitForSingleObject called at IRQL 2"));
  // Securing user memory and giving it back both belong below DISPATCH_LEVEL; MDLs, events and
  // power passing work up to it.
  uint8_t range[16];
  HANDLE secured = MmSecureVirtualMemory(range, sizeof range, PAGE_READWRITE);
  KeAcquireSpinLock(&lock, &irql);
  MmUnsecureVirtualMemory(secured);
  PMDL mdl = IoAllocateMdl(range, sizeof range, FALSE, FALSE, nullptr);
  IoFreeMdl(mdl);
  KEVENT other;
  KeInitializeEvent(&other, NotificationEvent, FALSE);
  KeReleaseSpinLock(&lock, irql);
  EXPECT_TRUE(reported("MmUnsecureVirtualMemory called at IRQL 2"));
  EXPECT_FALSE(reported("IoAllocateMdl called"));
  EXPECT_FALSE(reported("IoFreeMdl called"));
  EXPECT_FALSE(reported("KeInitializeEvent called"));
  // A zero time-out only polls, which is allowed at dispatch level.
  emu::reset();
  KeAcquireSpinLock(&lock, &irql);
  LARGE_INTEGER zero{0};
  KeReleaseSpinLock(&lock, irql);
  EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &zero), STATUS_SUCCESS);
  EXPECT_TRUE(emu::violations().empty());
}

// A caller's request is poisoned when it completes: reading it gives garbage, completing it again
// or writing it is reported.
TEST(EmulationRules, CallersRequestsArePoisonedWhenCompleted) {
  emu::reset();
  PIRP irp = emu::allocate_irp(2);
  irp->IoStatus.Status = STATUS_SUCCESS;
  IofCompleteRequest(irp, IO_NO_INCREMENT);
  EXPECT_NE(irp->IoStatus.Status, STATUS_SUCCESS);
  IofCompleteRequest(irp, IO_NO_INCREMENT);
  EXPECT_TRUE(reported("IoCompleteRequest on a request that is already completed"));
  irp->IoStatus.Information = 4;
  emu::free_irp(irp);
  EXPECT_TRUE(reported("written after it was completed"));
}

// A driver that breaks the rules on request, for the rules that need a caller in a process: each
// method-neither code does one thing with the caller's output address.
namespace rules_driver {

enum Action : ULONG { touch, touch_guarded, touch_guarded_raised, touch_guarded_elsewhere, probe_guarded, probe, block };
constexpr ULONG code(Action action) { return CTL_CODE(FILE_DEVICE_UNKNOWN, 0x900 + action, METHOD_NEITHER, FILE_ANY_ACCESS); }

std::mutex mutex;  // guards majors and blocked
std::vector<UCHAR> majors;
PIRP blocked = nullptr;
KEVENT release;
NTSTATUS probe_status = STATUS_SUCCESS;

void NTAPI zero_output(PVOID context) { RtlZeroMemory(static_cast<PIRP>(context)->UserBuffer, 4); }

void NTAPI probe_output(PVOID context) {
  auto* mdl = static_cast<PMDL>(context);
  MmProbeAndLockPages(mdl, UserMode, IoWriteAccess);
  if (mdl->MdlFlags & MDL_PAGES_LOCKED) MmUnlockPages(mdl);
}

void act(PIRP irp, Action action) {
  KSPIN_LOCK lock;
  KIRQL irql;
  PMDL mdl = nullptr;
  switch (action) {
    case touch:
      zero_output(irp);
      break;
    case touch_guarded:
      EmuCallWithHandler(zero_output, irp);
      break;
    case touch_guarded_raised:
      KeInitializeSpinLock(&lock);
      KeAcquireSpinLock(&lock, &irql);
      EmuCallWithHandler(zero_output, irp);
      KeReleaseSpinLock(&lock, irql);
      break;
    case touch_guarded_elsewhere:
      std::thread([irp] { EmuCallWithHandler(zero_output, irp); }).join();  // a system thread
      break;
    case probe_guarded:
    case probe:
      mdl = IoAllocateMdl(irp->UserBuffer, 4, FALSE, FALSE, nullptr);
      if (action == probe_guarded)
        probe_status = EmuCallWithHandler(probe_output, mdl);
      else
        probe_output(mdl);
      IoFreeMdl(mdl);
      break;
    case block: {
      std::lock_guard hold(mutex);
      blocked = irp;
    }
      KeWaitForSingleObject(&release, Executive, KernelMode, FALSE, nullptr);
      break;
  }
}

NTSTATUS NTAPI dispatch(PDEVICE_OBJECT, PIRP irp) {
  PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
  {
    std::lock_guard hold(mutex);
    majors.push_back(location->MajorFunction);
  }
  if (location->MajorFunction == IRP_MJ_DEVICE_CONTROL)
    act(irp, static_cast<Action>((location->Parameters.DeviceIoControl.IoControlCode >> 2 & 0xFFF) - 0x900));
  irp->IoStatus.Status = STATUS_SUCCESS;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_SUCCESS;
}

NTSTATUS NTAPI entry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  for (UCHAR major : {IRP_MJ_CREATE, IRP_MJ_CLEANUP, IRP_MJ_CLOSE, IRP_MJ_DEVICE_CONTROL}) driver->MajorFunction[major] = dispatch;
  UNICODE_STRING name, link;
  RtlInitUnicodeString(&name, u"\\Device\\RULES");
  RtlInitUnicodeString(&link, u"\\DosDevices\\RULES");
  PDEVICE_OBJECT device = nullptr;
  NTSTATUS status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN, FALSE, &device);
  if (NT_SUCCESS(status)) status = IoCreateSymbolicLink(&link, &name);
  if (NT_SUCCESS(status)) device->Flags &= ~DO_DEVICE_INITIALIZING;
  return status;
}

void unload(PDRIVER_OBJECT driver) {
  UNICODE_STRING link;
  RtlInitUnicodeString(&link, u"\\DosDevices\\RULES");
  IoDeleteSymbolicLink(&link);
  IoDeleteDevice(driver->DeviceObject);
  emu::unload_driver(driver);
}

}  // namespace rules_driver

std::vector<std::string> new_violations(size_t* seen) {
  std::vector<std::string> all = emu::violations();
  std::vector<std::string> fresh(all.begin() + static_cast<long>(*seen), all.end());
  *seen = all.size();
  return fresh;
}

// A caller's buffer is user memory of its process while its request is in progress: a driver may
// touch it in that process, below DISPATCH_LEVEL and under an exception handler, nowhere else; and a
// probe that raises is a crash unless a handler catches it.
TEST(EmulationRules, UserMemoryOnlyInItsProcessBelowDispatchUnderAHandler) {
  emu::reset();
  NTSTATUS status;
  PDRIVER_OBJECT driver = emu::load_driver(rules_driver::entry, u"\\Driver\\rules", &status);
  ASSERT_EQ(status, STATUS_SUCCESS);
  emu::UserHandle* handle = nullptr;
  ASSERT_EQ(emu::open_device(u"\\\\.\\RULES", &handle), STATUS_SUCCESS);
  struct Case {
    rules_driver::Action action;
    const char* violation;  // null: none
  };
  const Case cases[] = {
      {rules_driver::touch, "RtlZeroMemory touched a user address outside an exception handler"},
      {rules_driver::touch_guarded, nullptr},
      {rules_driver::touch_guarded_raised, "RtlZeroMemory touched a user address at IRQL 2"},
      {rules_driver::touch_guarded_elsewhere, "RtlZeroMemory touched a user address from another process's context"},
      {rules_driver::probe, "MmProbeAndLockPages raised an exception in a driver that cannot handle it"},
      {rules_driver::probe_guarded, nullptr},
  };
  size_t seen = emu::violations().size();
  uint8_t output[4];
  for (const Case& c : cases) {
    if (c.action == rules_driver::probe) emu::protect_read_only(output, sizeof output);
    ULONG returned = 0;
    emu::device_io_control(handle, rules_driver::code(c.action), nullptr, 0, output, sizeof output, &returned);
    std::vector<std::string> fresh = new_violations(&seen);
    if (c.violation == nullptr) {
      EXPECT_TRUE(fresh.empty()) << c.action << ": " << (fresh.empty() ? "" : fresh[0]);
    } else {
      ASSERT_EQ(fresh.size(), 1u) << c.action;
      EXPECT_NE(fresh[0].find(c.violation), std::string::npos) << fresh[0];
    }
  }
  EXPECT_EQ(rules_driver::probe_status, STATUS_ACCESS_VIOLATION) << "the guarded probe returns what it raised";
  emu::close_device(handle);
  rules_driver::unload(driver);
}

// Closing a handle sends IRP_MJ_CLEANUP at once and IRP_MJ_CLOSE only when no request of the handle
// is left; it cancels nothing itself, so a request blocked inside a dispatch routine holds the close.
TEST(EmulationRules, CloseSendsCleanupThenCloseAndCancelsNothing) {
  emu::reset();
  rules_driver::majors.clear();
  rules_driver::blocked = nullptr;
  KeInitializeEvent(&rules_driver::release, NotificationEvent, FALSE);
  NTSTATUS status;
  PDRIVER_OBJECT driver = emu::load_driver(rules_driver::entry, u"\\Driver\\rules", &status);
  ASSERT_EQ(status, STATUS_SUCCESS);
  emu::UserHandle* handle = nullptr;
  ASSERT_EQ(emu::open_device(u"\\\\.\\RULES", &handle), STATUS_SUCCESS);
  uint8_t output[4];
  std::thread caller([&] {
    ULONG returned = 0;
    emu::device_io_control(handle, rules_driver::code(rules_driver::block), nullptr, 0, output, 4, &returned);
  });
  ASSERT_TRUE(emu::wait_for_blocked_waiters(1));
  std::atomic<bool> closed{false};
  std::thread closer([&] {
    emu::close_device(handle);
    closed = true;
  });
  auto saw = [](UCHAR major) {
    std::lock_guard hold(rules_driver::mutex);
    return std::count(rules_driver::majors.begin(), rules_driver::majors.end(), major);
  };
  while (saw(IRP_MJ_CLEANUP) == 0) std::this_thread::yield();
  EXPECT_EQ(saw(IRP_MJ_CLOSE), 0);
  EXPECT_FALSE(closed);
  {
    std::lock_guard hold(rules_driver::mutex);
    EXPECT_FALSE(__atomic_load_n(&rules_driver::blocked->Cancel, __ATOMIC_ACQUIRE)) << "closing cancels nothing";
  }
  KeSetEvent(&rules_driver::release, IO_NO_INCREMENT, FALSE);
  caller.join();
  closer.join();
  std::lock_guard hold(rules_driver::mutex);
  EXPECT_EQ(rules_driver::majors, (std::vector<UCHAR>{IRP_MJ_CREATE, IRP_MJ_DEVICE_CONTROL, IRP_MJ_CLEANUP, IRP_MJ_CLOSE}));
  EXPECT_TRUE(emu::violations().empty());
  rules_driver::unload(driver);
}

}  // namespace
