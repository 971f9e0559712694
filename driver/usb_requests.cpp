// Request blocks and the one routine that hands them to the USB stack and waits for the answer.
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

PURB allocate_urb(SIZE_T size) {
  auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, size, kPoolTag));
  if (urb != nullptr) RtlZeroMemory(urb, size);  // fields the build macros leave alone must be zero
  return urb;
}

void free_pool(PVOID block) { ExFreePoolWithTag(block, kPoolTag); }

NTSTATUS submit_and_wait(DeviceExtension* extension, PURB urb) {
  KEVENT event;
  IO_STATUS_BLOCK io_status;
  KeInitializeEvent(&event, NotificationEvent, FALSE);
  PIRP irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_URB, extension->lower_device_object, nullptr, 0,
                                           nullptr, 0, TRUE, &event, &io_status);
  if (irp == nullptr) return STATUS_NO_MEMORY;
  IoGetNextIrpStackLocation(irp)->Parameters.Others.Argument1 = urb;
  NTSTATUS status = IoCallDriver(extension->lower_device_object, irp);
  if (status == STATUS_PENDING) {
    KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    status = io_status.Status;
  }
  USBD_STATUS urb_status = URB_STATUS(urb);
  if (!USBD_SUCCESS(urb_status)) {
    InterlockedExchange(&extension->last_urb_error, urb_status);  // transfers on other threads store too
    if (NT_SUCCESS(status)) return STATUS_UNSUCCESSFUL;
  }
  return status;
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
