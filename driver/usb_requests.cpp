// Request blocks and the one routine that hands them to the USB stack and waits for the answer,
// cancellable with the caller's request for transfers; aborting the pipes for removal.
#include "kvusb.h"

// The request-block lengths the unit's stack expects, per pointer width.
#if defined(KVUSB_WINDOWS_KERNEL) && !defined(_WIN64)
static_assert(sizeof(struct _URB_PIPE_REQUEST) == 24, "reset and abort pipe");
static_assert(sizeof(struct _URB_GET_CURRENT_FRAME_NUMBER) == 20, "frame number");
static_assert(sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST) == 80, "get descriptor");
static_assert(sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER) == 72, "bulk or interrupt transfer");
static_assert(sizeof(struct _URB_SELECT_CONFIGURATION) == 60, "select configuration without a configuration");
static_assert(sizeof(struct _URB_CONTROL_VENDOR_OR_CLASS_REQUEST) == 80, "vendor request");
static_assert(sizeof(USBD_INTERFACE_INFORMATION) == 36 && sizeof(USBD_PIPE_INFORMATION) == 20, "interface information");
#else
static_assert(sizeof(struct _URB_PIPE_REQUEST) == 40, "reset and abort pipe");
static_assert(sizeof(struct _URB_GET_CURRENT_FRAME_NUMBER) == 32, "frame number");
static_assert(sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST) == 136, "get descriptor");
static_assert(sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER) == 128, "bulk or interrupt transfer");
static_assert(sizeof(struct _URB_SELECT_CONFIGURATION) == 88, "select configuration without a configuration");
static_assert(sizeof(struct _URB_CONTROL_VENDOR_OR_CLASS_REQUEST) == 136, "vendor request");
static_assert(sizeof(USBD_INTERFACE_INFORMATION) == 48 && sizeof(USBD_PIPE_INFORMATION) == 24, "interface information");
#endif
static_assert(IOCTL_INTERNAL_USB_SUBMIT_URB == 0x220003, "submit URB");

namespace kvusb {

namespace {

// One request block on its way through the USB stack. The bus request is the driver's own, so it
// stays valid until the submitter frees it, also for a cancel routine racing with its completion.
struct Submission {
  PIRP bus_request;
  KEVENT completed;       // the bus request came back
  KEVENT cancel_done;     // the caller's cancel routine has finished with this submission
  bool cancelled;         // by the caller's cancel routine; read after cancel_done when it ran
};

NTSTATUS NTAPI submission_completed(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
  (void)device;
  (void)irp;
  KeSetEvent(&static_cast<Submission*>(context)->completed, IO_NO_INCREMENT, FALSE);
  return STATUS_MORE_PROCESSING_REQUIRED;  // the submitter frees the request after its wait
}

// The caller's request was cancelled (handle closed, thread ended, CancelIo): cancel the bus request.
VOID NTAPI cancel_submission(PDEVICE_OBJECT device, PIRP caller) {
  (void)device;
  auto* submission = static_cast<Submission*>(caller->Tail.Overlay.DriverContext[0]);
  IoReleaseCancelSpinLock(caller->CancelIrql);
  submission->cancelled = true;
  IoCancelIrp(submission->bus_request);
  KeSetEvent(&submission->cancel_done, IO_NO_INCREMENT, FALSE);
}

// IoCancelIrp sets the flag on another processor; an acquire load keeps this read ordered after
// the cancel routine's exchange (a plain load on x86 and x64).
bool cancel_requested(PIRP irp) { return __atomic_load_n(&irp->Cancel, __ATOMIC_ACQUIRE); }

// Makes the caller's request cancellable for the time of the transfer; false when it already is.
bool arm_cancel(PIRP caller, Submission* submission) {
  caller->Tail.Overlay.DriverContext[0] = submission;
  (void)IoSetCancelRoutine(caller, cancel_submission);
  return !(cancel_requested(caller) && IoSetCancelRoutine(caller, nullptr) != nullptr);
}

void disarm_cancel(PIRP caller, Submission* submission) {
  // Null means the cancel routine has been called and may still use the submission: wait for it.
  if (IoSetCancelRoutine(caller, nullptr) == nullptr)
    KeWaitForSingleObject(&submission->cancel_done, Executive, KernelMode, FALSE, nullptr);
}

NTSTATUS submit(DeviceExtension* extension, PURB urb, PIRP caller, bool stops_on_abort, bool* cancelled) {
  PDEVICE_OBJECT lower = extension->lower_device_object;
  if (stops_on_abort && transfers_stopped(extension)) return STATUS_DELETE_PENDING;
  Submission submission;
  submission.bus_request = IoAllocateIrp(lower->StackSize, FALSE);
  if (submission.bus_request == nullptr) return STATUS_NO_MEMORY;
  KeInitializeEvent(&submission.completed, NotificationEvent, FALSE);
  KeInitializeEvent(&submission.cancel_done, NotificationEvent, FALSE);
  submission.cancelled = false;
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(submission.bus_request);
  next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
  next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
  next->Parameters.Others.Argument1 = urb;
  IoSetCompletionRoutine(submission.bus_request, submission_completed, &submission, TRUE, TRUE, TRUE);
  if (caller != nullptr && !arm_cancel(caller, &submission)) {
    IoFreeIrp(submission.bus_request);
    *cancelled = true;
    return STATUS_CANCELLED;
  }
  IoCallDriver(lower, submission.bus_request);
  // Removal may have aborted the pipes just before this request reached the bus: end it here.
  if (stops_on_abort && transfers_stopped(extension)) IoCancelIrp(submission.bus_request);
  KeWaitForSingleObject(&submission.completed, Executive, KernelMode, FALSE, nullptr);
  if (caller != nullptr) {
    disarm_cancel(caller, &submission);
    *cancelled = submission.cancelled;
  }
  NTSTATUS status = submission.bus_request->IoStatus.Status;
  IoFreeIrp(submission.bus_request);
  USBD_STATUS urb_status = URB_STATUS(urb);
  if (!USBD_SUCCESS(urb_status)) {
    InterlockedExchange(&extension->last_urb_error, urb_status);  // transfers on other threads store too
    if (NT_SUCCESS(status)) return STATUS_UNSUCCESSFUL;
  }
  return status;
}

}  // namespace

PURB allocate_urb(SIZE_T size) {
  auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(kPoolType, size, kPoolTag));
  if (urb != nullptr) RtlZeroMemory(urb, size);  // fields the build macros leave alone must be zero
  return urb;
}

void free_pool(PVOID block) { ExFreePoolWithTag(block, kPoolTag); }

NTSTATUS submit_and_wait(DeviceExtension* extension, PURB urb) {
  bool cancelled = false;
  return submit(extension, urb, nullptr, false, &cancelled);
}

NTSTATUS submit_transfer(DeviceExtension* extension, PURB urb, PIRP caller, bool* cancelled) {
  *cancelled = false;
  return submit(extension, urb, caller, true, cancelled);
}

// Ends every transfer the bus holds for the unit; a read the unit NAKs would otherwise wait for ever.
// Runs on the PnP thread only, so the one request block in the extension serves every pipe in turn.
void abort_pipes(DeviceExtension* extension) {
  PUSBD_INTERFACE_INFORMATION configured = extension->interface_information;
  if (configured == nullptr) return;
  const USHORT size = sizeof(struct _URB_PIPE_REQUEST);
  for (ULONG i = 0; i < configured->NumberOfPipes; ++i) {
    PURB urb = &extension->abort_urb;
    RtlZeroMemory(urb, sizeof(URB));
    urb->UrbHeader.Length = size;
    urb->UrbHeader.Function = URB_FUNCTION_ABORT_PIPE;
    urb->UrbPipeRequest.PipeHandle = configured->Pipes[i].PipeHandle;
    submit_and_wait(extension, urb);
  }
}

NTSTATUS get_descriptor(DeviceExtension* extension, UCHAR type, PVOID buffer, ULONG* length) {
  const USHORT size = sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST);
  PURB urb = allocate_urb(size);
  if (urb == nullptr) {
    *length = 0;
    return STATUS_NO_MEMORY;
  }
  UsbBuildGetDescriptorRequest(urb, size, type, 0, 0, buffer, nullptr, *length, nullptr);
  NTSTATUS status = submit_and_wait(extension, urb);
  *length = NT_SUCCESS(status) ? urb->UrbControlDescriptorRequest.TransferBufferLength : 0;
  free_pool(urb);
  return status;
}

NTSTATUS unconfigure(DeviceExtension* extension) {
  const USHORT size = sizeof(struct _URB_SELECT_CONFIGURATION);
  PURB urb = allocate_urb(size);
  if (urb == nullptr) return STATUS_NO_MEMORY;
  UsbBuildSelectConfigurationRequest(urb, size, nullptr);
  NTSTATUS status = submit_and_wait(extension, urb);
  free_pool(urb);
  return status;
}

}  // namespace kvusb
