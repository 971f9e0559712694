// IRPs of the kernel emulation: allocation, calling down a device stack, completion with the stack
// locations' completion routines, threaded device-control requests, and power passing.
#include <cstdlib>

#include "state.h"

namespace emu::detail {
PMDL make_mdl(PVOID address, ULONG length);
}

using namespace emu::detail;

namespace {

KSPIN_LOCK cancel_lock = 0;

PIRP new_irp(CCHAR stack_size, IrpOwner owner) {
  size_t bytes = sizeof(IRP) + static_cast<size_t>(stack_size) * sizeof(IO_STACK_LOCATION);
  auto* irp = static_cast<PIRP>(std::calloc(1, bytes));
  irp->Type = 6;
  irp->Size = static_cast<USHORT>(bytes);
  irp->StackCount = stack_size;
  irp->CurrentLocation = static_cast<CCHAR>(stack_size + 1);
  irp->Tail.Overlay.CurrentStackLocation = reinterpret_cast<PIO_STACK_LOCATION>(irp + 1) + stack_size;
  State& s = state();
  std::lock_guard lock(s.mutex);
  IrpInfo info;
  info.owner = owner;
  info.bytes = bytes;
  s.irps[irp] = info;
  return irp;
}

// Runs after the last stack location completed: reports to the originator and ends the request.
// A caller's request is poisoned at once, so a driver that still touches it is caught.
void final_completion(PIRP irp) {
  IrpOwner owner;
  size_t bytes;
  // Under the cancel lock, so that a concurrent IoCancelIrp sees the request either live or done.
  KIRQL irql;
  KeAcquireSpinLock(&cancel_lock, &irql);
  {
    State& s = state();
    std::lock_guard lock(s.mutex);
    IrpInfo& info = s.irps[irp];
    info.final_done = true;
    info.pending_returned = irp->PendingReturned;
    owner = info.owner;
    bytes = info.bytes;
    if (info.filter != nullptr) {
      violation_locked(s, "the upper filter's completion routine never ran (a completion routine set on the "
                          "wrong stack location?)");
      info.filter = nullptr;
    }
  }
  if (__atomic_load_n(&irp->CancelRoutine, __ATOMIC_ACQUIRE) != nullptr) emu::report_violation("request completed with its cancel routine still set");
  PKEVENT event = irp->UserEvent;
  if (irp->UserIosb != nullptr) *irp->UserIosb = irp->IoStatus;
  switch (owner) {
    case IrpOwner::caller:
      std::memset(static_cast<void*>(irp), kPoison, bytes);
      break;
    case IrpOwner::threaded:
      emu::free_irp(irp);
      break;
    case IrpOwner::driver:
      KeReleaseSpinLock(&cancel_lock, irql);
      emu::report_violation("a request from IoAllocateIrp completed past its owner's completion routine");
      return;
  }
  KeReleaseSpinLock(&cancel_lock, irql);
  if (event != nullptr) KeSetEvent(event, 0, FALSE);
}

bool invokes(UCHAR control, NTSTATUS status, BOOLEAN cancel) {
  if (cancel && (control & SL_INVOKE_ON_CANCEL)) return true;
  return NT_SUCCESS(status) ? (control & SL_INVOKE_ON_SUCCESS) != 0 : (control & SL_INVOKE_ON_ERROR) != 0;
}

// A driver's own request is back with the driver once its last stack location completed.
void returned_to_owner(PIRP irp) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  auto it = s.irps.find(irp);
  if (it != s.irps.end()) it->second.at_lower = false;
}

// False (with a violation) when the request was already completed to its originator or freed.
bool live(PIRP irp, const char* routine) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  auto it = s.irps.find(irp);
  if (it != s.irps.end() && !it->second.final_done) return true;
  violation_locked(s, std::string(routine) + " on a request that is already completed or freed");
  return false;
}

}  // namespace

extern "C" NTSTATUS NTAPI IofCallDriver(PDEVICE_OBJECT device, PIRP irp) {
  require_irql(DISPATCH_LEVEL, "IoCallDriver");
  if (spin_locks_held > 0) emu::report_violation("IoCallDriver while holding a spin lock");
  if (!live(irp, "IoCallDriver")) return STATUS_INVALID_PARAMETER;
  if (irp->CurrentLocation <= 1) {
    emu::report_violation("IoCallDriver without a free stack location");
    std::abort();  // the real system stops here too
  }
  if (irp->CurrentLocation == irp->StackCount + 1) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    IrpInfo& info = s.irps[irp];
    if (info.owner == IrpOwner::driver) info.at_lower = true;
  }
  irp->CurrentLocation--;
  irp->Tail.Overlay.CurrentStackLocation--;
  PIO_STACK_LOCATION location = irp->Tail.Overlay.CurrentStackLocation;
  location->DeviceObject = device;
  PDRIVER_DISPATCH dispatch = device->DriverObject->MajorFunction[location->MajorFunction];
  if (dispatch == nullptr) {
    irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
    IofCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_INVALID_DEVICE_REQUEST;
  }
  return dispatch(device, irp);
}

extern "C" VOID NTAPI IofCompleteRequest(PIRP irp, CCHAR boost) {
  (void)boost;
  require_irql(DISPATCH_LEVEL, "IoCompleteRequest");
  if (!live(irp, "IoCompleteRequest")) return;
  if (irp->IoStatus.Status == STATUS_PENDING) emu::report_violation("completing an IRP with STATUS_PENDING");
  while (irp->CurrentLocation <= irp->StackCount) {
    PIO_STACK_LOCATION location = irp->Tail.Overlay.CurrentStackLocation;
    irp->PendingReturned = (location->Control & SL_PENDING_RETURNED) != 0;
    PIO_COMPLETION_ROUTINE routine = location->CompletionRoutine;
    PVOID context = location->Context;
    UCHAR control = location->Control;
    location->CompletionRoutine = nullptr;
    location->Context = nullptr;
    location->Control = 0;
    irp->CurrentLocation++;
    irp->Tail.Overlay.CurrentStackLocation++;
    bool above = irp->CurrentLocation <= irp->StackCount;
    if (!above) returned_to_owner(irp);
    if (routine != nullptr && invokes(control, irp->IoStatus.Status, __atomic_load_n(&irp->Cancel, __ATOMIC_ACQUIRE))) {
      PDEVICE_OBJECT owner = above ? irp->Tail.Overlay.CurrentStackLocation->DeviceObject : nullptr;
      if (routine(owner, irp, context) == STATUS_MORE_PROCESSING_REQUIRED) return;
    } else if (irp->PendingReturned && above) {
      IoMarkIrpPending(irp);  // what a default completion does: keep the pending mark travelling up
    }
  }
  final_completion(irp);
}

extern "C" PIRP NTAPI IoAllocateIrp(CCHAR stack_size, BOOLEAN charge_quota) {
  (void)charge_quota;
  require_irql(DISPATCH_LEVEL, "IoAllocateIrp");
  if (counted_allocation_fails()) return nullptr;
  return new_irp(stack_size, IrpOwner::driver);
}

extern "C" VOID NTAPI IoFreeIrp(PIRP irp) {
  require_irql(DISPATCH_LEVEL, "IoFreeIrp");
  {
    State& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.irps.find(irp);
    if (it == s.irps.end() || it->second.owner != IrpOwner::driver) {
      violation_locked(s, "IoFreeIrp of a request the driver did not allocate");
      return;
    }
    if (irp->CurrentLocation != irp->StackCount + 1) violation_locked(s, "IoFreeIrp of a request still in a lower driver");
  }
  emu::free_irp(irp);
}

// Makes a request the driver allocated new again for its next use (only once it is back).
extern "C" VOID NTAPI IoReuseIrp(PIRP irp, NTSTATUS status) {
  require_irql(DISPATCH_LEVEL, "IoReuseIrp");
  {
    State& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.irps.find(irp);
    if (it == s.irps.end() || it->second.owner != IrpOwner::driver) {
      violation_locked(s, "IoReuseIrp of a request the driver did not allocate");
      return;
    }
    if (irp->CurrentLocation != irp->StackCount + 1 || it->second.at_lower)
      violation_locked(s, "IoReuseIrp of a request still in a lower driver");
    it->second.final_done = false;
  }
  if (__atomic_load_n(&irp->CancelRoutine, __ATOMIC_ACQUIRE) != nullptr) emu::report_violation("IoReuseIrp with a cancel routine set");
  const CCHAR stack = irp->StackCount;
  const USHORT size = irp->Size;
  std::memset(static_cast<void*>(irp), 0, size);
  irp->Type = 6;
  irp->Size = size;
  irp->StackCount = stack;
  irp->CurrentLocation = static_cast<CCHAR>(stack + 1);
  irp->Tail.Overlay.CurrentStackLocation = reinterpret_cast<PIO_STACK_LOCATION>(irp + 1) + stack;
  irp->IoStatus.Status = status;
}

extern "C" VOID NTAPI IoAcquireCancelSpinLock(PKIRQL irql) { KeAcquireSpinLock(&cancel_lock, irql); }
extern "C" VOID NTAPI IoReleaseCancelSpinLock(KIRQL irql) { KeReleaseSpinLock(&cancel_lock, irql); }

extern "C" BOOLEAN NTAPI IoCancelIrp(PIRP irp) {
  require_irql(DISPATCH_LEVEL, "IoCancelIrp");
  KIRQL irql;
  IoAcquireCancelSpinLock(&irql);
  {
    State& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.irps.find(irp);
    if (it == s.irps.end()) violation_locked(s, "IoCancelIrp on a request that is freed");
    if (it == s.irps.end() || it->second.final_done) {
      IoReleaseCancelSpinLock(irql);  // completed meanwhile: nothing left to cancel
      return FALSE;
    }
  }
  __atomic_store_n(&irp->Cancel, TRUE, __ATOMIC_RELEASE);
  PDRIVER_CANCEL routine = IoSetCancelRoutine(irp, nullptr);
  if (routine == nullptr) {
    IoReleaseCancelSpinLock(irql);
    return FALSE;
  }
  irp->CancelIrql = irql;
  int locks_before = spin_locks_held;
  routine(irp->Tail.Overlay.CurrentStackLocation->DeviceObject, irp);  // releases the cancel lock
  if (spin_locks_held != locks_before - 1) emu::report_violation("cancel routine did not release the cancel spin lock");
  return TRUE;
}

extern "C" PIRP NTAPI IoBuildDeviceIoControlRequest(ULONG code, PDEVICE_OBJECT device, PVOID input,
                                                    ULONG input_length, PVOID output, ULONG output_length,
                                                    BOOLEAN internal, PKEVENT event, PIO_STATUS_BLOCK iosb) {
  require_irql(PASSIVE_LEVEL, "IoBuildDeviceIoControlRequest");
  if (counted_allocation_fails()) return nullptr;
  if ((code & 3) != METHOD_NEITHER || input_length != 0 || output_length != 0)
    emu::report_violation("IoBuildDeviceIoControlRequest with buffers: only method-neither is emulated");
  PIRP irp = new_irp(device->StackSize, IrpOwner::threaded);
  irp->UserEvent = event;
  irp->UserIosb = iosb;
  irp->UserBuffer = output;
  irp->RequestorMode = KernelMode;
  irp->IoStatus.Status = STATUS_SUCCESS;
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction = internal ? IRP_MJ_INTERNAL_DEVICE_CONTROL : IRP_MJ_DEVICE_CONTROL;
  next->Parameters.DeviceIoControl.IoControlCode = code;
  next->Parameters.DeviceIoControl.InputBufferLength = input_length;
  next->Parameters.DeviceIoControl.OutputBufferLength = output_length;
  next->Parameters.DeviceIoControl.Type3InputBuffer = input;
  return irp;
}

extern "C" VOID NTAPI PoStartNextPowerIrp(PIRP irp) {
  require_irql(DISPATCH_LEVEL, "PoStartNextPowerIrp");
  State& s = state();
  std::lock_guard lock(s.mutex);
  auto it = s.irps.find(irp);
  if (it == s.irps.end()) {
    violation_locked(s, "PoStartNextPowerIrp on an unknown IRP");
    return;
  }
  it->second.start_next_power++;
}

extern "C" NTSTATUS NTAPI PoCallDriver(PDEVICE_OBJECT device, PIRP irp) {
  require_irql(DISPATCH_LEVEL, "PoCallDriver");
  if (IoGetNextIrpStackLocation(irp)->MajorFunction != IRP_MJ_POWER)
    emu::report_violation("PoCallDriver with a request that is not a power request");
  return IofCallDriver(device, irp);
}

namespace emu {

PIRP allocate_irp(CCHAR stack_size) { return new_irp(stack_size, IrpOwner::caller); }

void free_irp(PIRP irp) {
  State& s = state();
  {
    std::lock_guard lock(s.mutex);
    auto it = s.irps.find(irp);
    if (it != s.irps.end() && it->second.owner == IrpOwner::caller && it->second.final_done) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(irp);
      for (size_t i = 0; i < it->second.bytes; ++i) {
        if (bytes[i] != kPoison) {
          violation_locked(s, "a request was written after it was completed");
          break;
        }
      }
    }
    if (it != s.irps.end()) s.irps.erase(it);
  }
  std::free(irp);
}

int start_next_power_calls(PIRP irp) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  return s.irps[irp].start_next_power;
}

NTSTATUS send_and_wait(PDEVICE_OBJECT device, PIRP irp, IO_STATUS_BLOCK* result,
                       const std::function<void(NTSTATUS)>& dispatched) {
  KEVENT done;
  IO_STATUS_BLOCK iosb{};
  KeInitializeEvent(&done, NotificationEvent, FALSE);
  irp->UserEvent = &done;
  irp->UserIosb = &iosb;
  NTSTATUS status = IofCallDriver(device, irp);
  if (dispatched) dispatched(status);
  bool completed;
  bool pending_returned;
  {
    State& s = state();
    std::lock_guard lock(s.mutex);
    completed = s.irps[irp].final_done;
    pending_returned = s.irps[irp].pending_returned;
  }
  if (status == STATUS_PENDING) {
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    {
      State& s = state();
      std::lock_guard lock(s.mutex);
      pending_returned = s.irps[irp].pending_returned;
    }
    if (!pending_returned) report_violation("STATUS_PENDING returned without IoMarkIrpPending");
    if (result != nullptr) *result = iosb;
    return iosb.Status;
  }
  if (!completed) {
    report_violation("dispatch returned without completing the request and without pending it");
    return status;
  }
  if (result != nullptr) *result = iosb;
  if (status != iosb.Status) report_violation("dispatch returned a status other than the request's own");
  return status;
}

}  // namespace emu
