// The control interface user mode drives a unit with: pipe reset and abort, frame number,
// interface information, device descriptor, and bulk or interrupt transfers.
#include "kvusb.h"

using namespace kvusb;

namespace {

struct Request {
  DeviceExtension* extension;
  PIRP irp;
  ULONG code;
  ULONG input_length;
  ULONG output_length;
  PUCHAR buffer;  // the system buffer shared by input and output
};

NTSTATUS pipe_request(DeviceExtension* extension, USHORT function, USBD_PIPE_HANDLE pipe) {
  const USHORT size = sizeof(struct _URB_PIPE_REQUEST);
  PURB urb = allocate_urb(size);
  if (urb == nullptr) return STATUS_NO_MEMORY;
  urb->UrbHeader.Length = size;
  urb->UrbHeader.Function = function;
  urb->UrbPipeRequest.PipeHandle = pipe;
  NTSTATUS status = submit_and_wait(extension, urb);
  free_pool(urb);
  return status;
}

// Reset and abort: the pipe named by input byte 0 must exist.
NTSTATUS pipe_operation(const Request& request, USHORT function) {
  if (request.input_length < 1) return STATUS_INVALID_PARAMETER;
  UCHAR index = request.buffer[0];
  PUSBD_INTERFACE_INFORMATION configured = request.extension->interface_information;
  if (index >= configured->NumberOfPipes) return STATUS_INVALID_PARAMETER;
  NTSTATUS status = pipe_request(request.extension, function, configured->Pipes[index].PipeHandle);
  return function == URB_FUNCTION_ABORT_PIPE ? STATUS_SUCCESS : status;  // abort always reports success
}

ULONG current_frame_number(DeviceExtension* extension) {
  const USHORT size = sizeof(struct _URB_GET_CURRENT_FRAME_NUMBER);
  PURB urb = allocate_urb(size);
  if (urb == nullptr) return 0;
  urb->UrbHeader.Length = size;
  urb->UrbHeader.Function = URB_FUNCTION_GET_CURRENT_FRAME_NUMBER;
  NTSTATUS status = submit_and_wait(extension, urb);
  ULONG frame = NT_SUCCESS(status) ? urb->UrbGetCurrentFrameNumber.FrameNumber : 0;
  free_pool(urb);
  return frame;
}

NTSTATUS frame_number(const Request& request, ULONG_PTR* information) {
  if (request.output_length < sizeof(ULONG)) return STATUS_INVALID_PARAMETER;
  ULONG frame = current_frame_number(request.extension);
  if (frame == 0) return STATUS_UNSUCCESSFUL;
  RtlCopyMemory(request.buffer, &frame, sizeof frame);
  *information = sizeof frame;
  return STATUS_SUCCESS;
}

NTSTATUS interface_information(const Request& request, ULONG_PTR* information) {
  PUSBD_INTERFACE_INFORMATION configured = request.extension->interface_information;
  if (request.output_length < configured->Length) return STATUS_INVALID_PARAMETER;
  RtlCopyMemory(request.buffer, configured, configured->Length);
  *information = configured->Length;
  return STATUS_SUCCESS;
}

// Read fresh from the unit; a failed read reports no bytes but still succeeds.
NTSTATUS device_descriptor(const Request& request, ULONG_PTR* information) {
  if (request.output_length < sizeof(USB_DEVICE_DESCRIPTOR)) return STATUS_INVALID_PARAMETER;
  ULONG length = sizeof(USB_DEVICE_DESCRIPTOR);
  get_descriptor(request.extension, USB_DEVICE_DESCRIPTOR_TYPE, request.buffer, &length);
  *information = length;
  return STATUS_SUCCESS;
}

// The caller's buffer locked for writing by the driver itself, when the system locked it for reading.
struct WritableBuffer {
  PMDL mdl;
  HANDLE secured;
};

// Securing the range first guarantees the probe cannot raise: the driver has no exception handling.
// Dispatch runs in the caller's context (the driver is at the top of the stack), as securing requires.
NTSTATUS lock_for_writing(PIRP irp, ULONG length, WritableBuffer* writable) {
  PVOID address = MmGetMdlVirtualAddress(irp->MdlAddress);
  writable->secured = nullptr;
  if (irp->RequestorMode != KernelMode) {
    writable->secured = MmSecureVirtualMemory(address, length, PAGE_READWRITE);
    if (writable->secured == nullptr) return STATUS_INVALID_PARAMETER;
  }
  writable->mdl = IoAllocateMdl(address, length, FALSE, FALSE, nullptr);
  if (writable->mdl == nullptr) {
    if (writable->secured != nullptr) MmUnsecureVirtualMemory(writable->secured);
    return STATUS_INVALID_PARAMETER;
  }
  MmProbeAndLockPages(writable->mdl, irp->RequestorMode, IoWriteAccess);
  return STATUS_SUCCESS;
}

void unlock_writable(WritableBuffer* writable) {
  MmUnlockPages(writable->mdl);
  IoFreeMdl(writable->mdl);
  if (writable->secured != nullptr) MmUnsecureVirtualMemory(writable->secured);
}

ULONG bulk_transfer(DeviceExtension* extension, PUSBD_PIPE_INFORMATION pipe, PMDL mdl, ULONG length) {
  const USHORT size = sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER);
  PURB urb = allocate_urb(size);
  if (urb == nullptr) return 0;
  // The endpoint decides the direction, whichever transfer code was used.
  ULONG flags = USBD_SHORT_TRANSFER_OK;
  if (pipe->EndpointAddress & USB_ENDPOINT_DIRECTION_MASK) flags |= USBD_TRANSFER_DIRECTION_IN;
  UsbBuildInterruptOrBulkTransferRequest(urb, size, pipe->PipeHandle, nullptr, mdl, length, flags, nullptr);
  NTSTATUS status = submit_and_wait(extension, urb);
  ULONG transferred = NT_SUCCESS(status) ? urb->UrbBulkOrInterruptTransfer.TransferBufferLength : 0;
  free_pool(urb);
  return transferred;
}

NTSTATUS transfer(const Request& request, ULONG_PTR* information) {
  if (request.input_length < 1) return STATUS_INVALID_PARAMETER;
  UCHAR index = request.buffer[0];
  PUSBD_INTERFACE_INFORMATION configured = request.extension->interface_information;
  if (index >= configured->NumberOfPipes) return STATUS_UNSUCCESSFUL;
  PUSBD_PIPE_INFORMATION pipe = &configured->Pipes[index];
  bool usable = (pipe->PipeType == UsbdPipeTypeBulk || pipe->PipeType == UsbdPipeTypeInterrupt) &&
                pipe->PipeHandle != nullptr && request.output_length <= pipe->MaximumTransferSize &&
                request.irp->MdlAddress != nullptr;
  if (!usable) return STATUS_UNSUCCESSFUL;
  bool into_caller = (pipe->EndpointAddress & USB_ENDPOINT_DIRECTION_MASK) != 0;
  // In-direct means the system locked the buffer for reading only; nothing may be written through that.
  if (into_caller && request.code == kIoctlTransferInDirect) {
    WritableBuffer writable;
    if (!NT_SUCCESS(lock_for_writing(request.irp, request.output_length, &writable))) return STATUS_INVALID_PARAMETER;
    *information = bulk_transfer(request.extension, pipe, writable.mdl, request.output_length);
    unlock_writable(&writable);
  } else {
    *information = bulk_transfer(request.extension, pipe, request.irp->MdlAddress, request.output_length);
  }
  return *information != 0 ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL;
}

NTSTATUS dispatch_code(const Request& request, ULONG_PTR* information) {
  switch (request.code) {
    case kIoctlResetPipe:
      return pipe_operation(request, URB_FUNCTION_RESET_PIPE);
    case kIoctlAbortPipe:
      return pipe_operation(request, URB_FUNCTION_ABORT_PIPE);
    case kIoctlGetFrameNumber:
      return frame_number(request, information);
    case kIoctlGetInterfaceInformation:
      return interface_information(request, information);
    case kIoctlGetDeviceDescriptor:
      return device_descriptor(request, information);
    case kIoctlTransferOutDirect:
    case kIoctlTransferInDirect:
      return transfer(request, information);
    default:
      return STATUS_INVALID_PARAMETER;
  }
}

}  // namespace

NTSTATUS NTAPI kvusb_device_control(PDEVICE_OBJECT device, PIRP irp) {
  DeviceExtension* extension = extension_of(device);
  irp->IoStatus.Status = STATUS_SUCCESS;
  irp->IoStatus.Information = 0;
  // The counter comes first: once it is held, removal cannot free the interface information under us.
  if (!NT_SUCCESS(acquire_pending(extension))) return complete_request(irp, STATUS_DELETE_PENDING, 0);
  if (extension->interface_information == nullptr) {
    complete_request(irp, STATUS_UNSUCCESSFUL, 0);
    release_pending(extension);
    return STATUS_UNSUCCESSFUL;
  }
  PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
  Request request{extension,
                  irp,
                  location->Parameters.DeviceIoControl.IoControlCode,
                  location->Parameters.DeviceIoControl.InputBufferLength,
                  location->Parameters.DeviceIoControl.OutputBufferLength,
                  static_cast<PUCHAR>(irp->AssociatedIrp.SystemBuffer)};
  ULONG_PTR information = 0;
  NTSTATUS status = dispatch_code(request, &information);
  complete_request(irp, status, NT_SUCCESS(status) ? information : 0);
  release_pending(extension);
  return status;
}
