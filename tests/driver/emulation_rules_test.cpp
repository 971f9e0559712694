// The kernel emulation's own rules, which the driver tests rely on to fail: routines called above
// their interrupt level, requests touched after completion, completion routines on the wrong stack
// location. Each case breaks one rule on purpose and expects the violation.
#include <gtest/gtest.h>

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

}  // namespace
