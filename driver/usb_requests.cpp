// Request blocks and the one routine that hands them to the USB stack and waits for the answer;
// aborting the pipes for removal.
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

NTSTATUS NTAPI submission_completed(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
  (void)device;
  (void)irp;
  KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
  return STATUS_MORE_PROCESSING_REQUIRED;  // the submitter frees or reuses the request after its wait
}

// Hands a request block to the USB stack in `request` (a request of the driver's own, back with it)
// and waits for it to come back.
NTSTATUS submit(DeviceExtension* extension, PURB urb, PIRP request) {
  KEVENT completed;
  KeInitializeEvent(&completed, NotificationEvent, FALSE);
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(request);
  next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
  next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
  next->Parameters.Others.Argument1 = urb;
  IoSetCompletionRoutine(request, submission_completed, &completed, TRUE, TRUE, TRUE);
  IoCallDriver(extension->lower_device_object, request);
  KeWaitForSingleObject(&completed, Executive, KernelMode, FALSE, nullptr);
  NTSTATUS status = request->IoStatus.Status;
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
  PIRP request = IoAllocateIrp(extension->lower_device_object->StackSize, FALSE);
  if (request == nullptr) return STATUS_NO_MEMORY;
  NTSTATUS status = submit(extension, urb, request);
  IoFreeIrp(request);
  return status;
}

// Ends every transfer the bus holds for the unit; a read the unit NAKs would otherwise wait for ever.
// Runs on the PnP thread only, so the request and block made at add-device serve every pipe in turn:
// removal needs no pool.
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
    IoReuseIrp(extension->abort_request, STATUS_SUCCESS);
    submit(extension, urb, extension->abort_request);
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
