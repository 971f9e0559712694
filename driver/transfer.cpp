// Bulk and interrupt transfers for callers' requests. The caller's request is pended and the driver
// hands the bus a request of its own; the caller's request completes when the bus returns that.
// Meanwhile it can be cancelled (CancelIoEx, the thread ending, the handle's cleanup), which
// cancels the bus request; removal cancels the bus requests directly.
#include "kvusb.h"

namespace kvusb {

namespace {

// One transfer in flight. References: the dispatch routine until it returns, the bus request's
// completion, the caller's cancel routine, and a walk cancelling transfers for its call. Whoever
// drops the last one finishes the transfer, so each request completes exactly once.
struct Transfer {
  URB urb;  // a whole union: the build macros write through it
  LIST_ENTRY link;  // in the extension's transfers; guarded by its lock
  DeviceExtension* extension;
  PIRP caller;
  PFILE_OBJECT file;  // the caller's handle, for its cleanup
  PIRP bus_request;
  PMDL locked_for_writing;  // the caller's range locked here for an in-direct read, else null
  ULONG length;             // what the caller asked for
  LONG references;
  BOOLEAN sent;             // the bus request went down
  BOOLEAN cleanup_cancelled;  // guarded by the lock, as the next one
  BOOLEAN removal_cancelled;
};

// IoCancelIrp sets the flag on another processor; an acquire load keeps this read ordered after
// the cancel routine's exchange (a plain load on x86 and x64).
bool cancel_requested(PIRP irp) { return __atomic_load_n(&irp->Cancel, __ATOMIC_ACQUIRE); }

// Data that arrived are the caller's even when a cancel came at the same moment: reported, never
// dropped. Without data a cancelled request says so; anything else (an abort, removal, a failed
// block) is 0 bytes, which the control interface reports as unsuccessful.
void finish(Transfer* transfer) {
  DeviceExtension* extension = transfer->extension;
  PIRP caller = transfer->caller;
  ULONG bytes = 0;
  if (transfer->sent) {
    USBD_STATUS urb_status = URB_STATUS(&transfer->urb);
    if (!USBD_SUCCESS(urb_status)) InterlockedExchange(&extension->last_urb_error, urb_status);
    if (NT_SUCCESS(transfer->bus_request->IoStatus.Status) && USBD_SUCCESS(urb_status))
      bytes = transfer->urb.UrbBulkOrInterruptTransfer.TransferBufferLength;
    if (bytes > transfer->length) bytes = transfer->length;  // never more than the caller's range
  }
  NTSTATUS status = bytes != 0 ? STATUS_SUCCESS : cancel_requested(caller) ? STATUS_CANCELLED : STATUS_UNSUCCESSFUL;
  KIRQL irql;
  KeAcquireSpinLock(&extension->lock, &irql);
  RemoveEntryList(&transfer->link);
  KeReleaseSpinLock(&extension->lock, irql);
  if (transfer->locked_for_writing != nullptr) {
    MmUnlockPages(transfer->locked_for_writing);
    IoFreeMdl(transfer->locked_for_writing);
  }
  IoFreeIrp(transfer->bus_request);
  free_pool(transfer);
  end_control_request(extension);
  complete_request(caller, status, bytes);
  release_pending(extension);  // last: removal may take the device apart once this is dropped
}

void release(Transfer* transfer) {
  if (InterlockedDecrement(&transfer->references) == 0) finish(transfer);
}

// A walk may only join a transfer that is not finishing already. The count changes on other
// processors: read with an acquire load (a plain load on x86 and x64).
bool reference(Transfer* transfer) {
  LONG seen = __atomic_load_n(&transfer->references, __ATOMIC_ACQUIRE);
  while (seen > 0) {
    LONG found = InterlockedCompareExchange(&transfer->references, seen + 1, seen);
    if (found == seen) return true;
    seen = found;
  }
  return false;
}

VOID NTAPI cancel_transfer(PDEVICE_OBJECT device, PIRP caller) {
  (void)device;
  auto* transfer = static_cast<Transfer*>(caller->Tail.Overlay.DriverContext[0]);
  IoReleaseCancelSpinLock(caller->CancelIrql);
  IoCancelIrp(transfer->bus_request);  // not yet sent: the bus finds the flag when it gets there
  release(transfer);
}

NTSTATUS NTAPI transfer_completed(PDEVICE_OBJECT device, PIRP bus_request, PVOID context) {
  (void)device;
  (void)bus_request;
  auto* transfer = static_cast<Transfer*>(context);
  // Taken back here, the cancel routine will never run: its reference is dropped in its place.
  if (IoSetCancelRoutine(transfer->caller, nullptr) != nullptr) release(transfer);
  release(transfer);
  return STATUS_MORE_PROCESSING_REQUIRED;  // the bus request is the driver's; finish frees it
}

// An in-direct code locked the caller's buffer for reading only, and nothing may be written
// through that lock. A read from the unit goes through a second MDL over the same range, locked for
// writing here, in the caller's process (its addresses mean nothing elsewhere). Locking raises
// when the range is not writable or cannot be locked: under an exception handler.
NTSTATUS lock_for_writing(Transfer* transfer) {
  PIRP caller = transfer->caller;
  if (caller->RequestorMode != KernelMode && IoGetCurrentProcess() != IoGetRequestorProcess(caller))
    return STATUS_INVALID_PARAMETER;
  PMDL mdl = IoAllocateMdl(MmGetMdlVirtualAddress(caller->MdlAddress), transfer->length, FALSE, FALSE, nullptr);
  if (mdl == nullptr) return STATUS_UNSUCCESSFUL;
  NTSTATUS raised = kvusb_guarded_probe_and_lock(mdl, caller->RequestorMode, IoWriteAccess);
  if (!NT_SUCCESS(raised)) {
    IoFreeMdl(mdl);
    return raised == STATUS_ACCESS_VIOLATION ? STATUS_INVALID_PARAMETER : STATUS_UNSUCCESSFUL;
  }
  transfer->locked_for_writing = mdl;
  return STATUS_SUCCESS;
}

void free_unstarted(Transfer* transfer) {
  if (transfer->locked_for_writing != nullptr) {
    MmUnlockPages(transfer->locked_for_writing);
    IoFreeMdl(transfer->locked_for_writing);
  }
  if (transfer->bus_request != nullptr) IoFreeIrp(transfer->bus_request);
  free_pool(transfer);
}

// Everything a transfer needs, made before anything is sent; failures are 0 bytes.
NTSTATUS prepare(Transfer* transfer, PUSBD_PIPE_INFORMATION pipe, bool lock_here) {
  PDEVICE_OBJECT lower = transfer->extension->lower_device_object;
  transfer->bus_request = IoAllocateIrp(lower->StackSize, FALSE);
  if (transfer->bus_request == nullptr) return STATUS_UNSUCCESSFUL;
  if (lock_here) {
    NTSTATUS status = lock_for_writing(transfer);
    if (!NT_SUCCESS(status)) return status;
  }
  // The endpoint decides the direction, whichever transfer code was used.
  ULONG flags = USBD_SHORT_TRANSFER_OK;
  if (pipe->EndpointAddress & USB_ENDPOINT_DIRECTION_MASK) flags |= USBD_TRANSFER_DIRECTION_IN;
  PMDL mdl = lock_here ? transfer->locked_for_writing : transfer->caller->MdlAddress;
  RtlZeroMemory(&transfer->urb, sizeof(URB));  // fields the build macro leaves alone must be zero
  UsbBuildInterruptOrBulkTransferRequest(&transfer->urb, sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER),
                                         pipe->PipeHandle, nullptr, mdl, transfer->length, flags, nullptr);
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(transfer->bus_request);
  next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
  next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
  next->Parameters.Others.Argument1 = &transfer->urb;
  IoSetCompletionRoutine(transfer->bus_request, transfer_completed, transfer, TRUE, TRUE, TRUE);
  return STATUS_SUCCESS;
}

// Joins the transfers in flight, unless removal has begun (checked under the same lock the walks
// take, so that a removal walk finds every transfer that got in).
bool enlist(Transfer* transfer) {
  DeviceExtension* extension = transfer->extension;
  KIRQL irql;
  KeAcquireSpinLock(&extension->lock, &irql);
  bool open = !extension->aborting;
  if (open) InsertTailList(&extension->transfers, &transfer->link);
  KeReleaseSpinLock(&extension->lock, irql);
  return open;
}

// The pipe named by input byte 0, when a transfer over it is allowed; null otherwise.
PUSBD_PIPE_INFORMATION usable_pipe(DeviceExtension* extension, PIRP irp, ULONG output_length, UCHAR index) {
  PUSBD_INTERFACE_INFORMATION configured = extension->interface_information;
  if (index >= configured->NumberOfPipes) return nullptr;
  PUSBD_PIPE_INFORMATION pipe = &configured->Pipes[index];
  bool usable = (pipe->PipeType == UsbdPipeTypeBulk || pipe->PipeType == UsbdPipeTypeInterrupt) &&
                pipe->PipeHandle != nullptr && output_length <= pipe->MaximumTransferSize &&
                irp->MdlAddress != nullptr;
  return usable ? pipe : nullptr;
}

}  // namespace

NTSTATUS start_transfer(DeviceExtension* extension, PIRP irp, ULONG code, ULONG input_length, ULONG output_length,
                        const UCHAR* input) {
  if (input_length < 1) return STATUS_INVALID_PARAMETER;
  PUSBD_PIPE_INFORMATION pipe = usable_pipe(extension, irp, output_length, input[0]);
  if (pipe == nullptr) return STATUS_UNSUCCESSFUL;
  auto* transfer = static_cast<Transfer*>(ExAllocatePoolWithTag(kPoolType, sizeof(Transfer), kPoolTag));
  if (transfer == nullptr) return STATUS_UNSUCCESSFUL;
  RtlZeroMemory(transfer, sizeof(Transfer));
  transfer->extension = extension;
  transfer->caller = irp;
  transfer->file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  transfer->length = output_length;
  transfer->references = 3;  // dispatch, completion, cancel routine
  const bool into_caller = (pipe->EndpointAddress & USB_ENDPOINT_DIRECTION_MASK) != 0;
  NTSTATUS status = prepare(transfer, pipe, into_caller && code == kIoctlTransferInDirect);
  if (NT_SUCCESS(status) && !enlist(transfer)) status = STATUS_UNSUCCESSFUL;
  if (!NT_SUCCESS(status)) {
    free_unstarted(transfer);
    return status;
  }
  IoMarkIrpPending(irp);
  irp->Tail.Overlay.DriverContext[0] = transfer;
  (void)IoSetCancelRoutine(irp, cancel_transfer);
  if (cancel_requested(irp) && IoSetCancelRoutine(irp, nullptr) != nullptr) {
    // Cancelled before it started, and the cancel routine will not run: nothing goes to the bus.
    release(transfer);  // the cancel routine's
    release(transfer);  // the completion's
  } else {
    transfer->sent = TRUE;
    IoCallDriver(extension->lower_device_object, transfer->bus_request);
  }
  release(transfer);  // the dispatch routine's
  return STATUS_PENDING;
}

void cancel_transfers(DeviceExtension* extension, PFILE_OBJECT file) {
  for (;;) {
    Transfer* victim = nullptr;
    KIRQL irql;
    KeAcquireSpinLock(&extension->lock, &irql);
    for (PLIST_ENTRY entry = extension->transfers.Flink; entry != &extension->transfers; entry = entry->Flink) {
      Transfer* transfer = CONTAINING_RECORD(entry, Transfer, link);
      BOOLEAN& done = file != nullptr ? transfer->cleanup_cancelled : transfer->removal_cancelled;
      if ((file == nullptr || transfer->file == file) && !done && reference(transfer)) {
        done = TRUE;
        victim = transfer;
        break;
      }
    }
    KeReleaseSpinLock(&extension->lock, irql);
    if (victim == nullptr) return;
    // A handle's cleanup cancels the caller's request (its cancel routine then cancels the bus's);
    // removal ends the bus request, which reports 0 bytes as an abort does.
    IoCancelIrp(file != nullptr ? victim->caller : victim->bus_request);
    release(victim);
  }
}

}  // namespace kvusb
