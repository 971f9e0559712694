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

// Moves data over a pipe through the request's buffer or memory descriptor list; the caller's
// request can cancel it. A cancelled transfer without data reports STATUS_CANCELLED.
NTSTATUS bulk_transfer(const Request& request, PUSBD_PIPE_INFORMATION pipe, PVOID buffer, PMDL mdl,
                       ULONG* transferred) {
  *transferred = 0;
  const USHORT size = sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER);
  PURB urb = allocate_urb(size);
  if (urb == nullptr) return STATUS_UNSUCCESSFUL;
  // The endpoint decides the direction, whichever transfer code was used.
  ULONG flags = USBD_SHORT_TRANSFER_OK;
  if (pipe->EndpointAddress & USB_ENDPOINT_DIRECTION_MASK) flags |= USBD_TRANSFER_DIRECTION_IN;
  UsbBuildInterruptOrBulkTransferRequest(urb, size, pipe->PipeHandle, buffer, mdl, request.output_length, flags,
                                         nullptr);
  bool cancelled = false;
  NTSTATUS status = submit_transfer(request.extension, urb, request.irp, &cancelled);
  if (NT_SUCCESS(status)) *transferred = urb->UrbBulkOrInterruptTransfer.TransferBufferLength;
  free_pool(urb);
  if (*transferred != 0) return STATUS_SUCCESS;  // also when a cancel came too late: the data are the caller's
  return cancelled ? STATUS_CANCELLED : STATUS_UNSUCCESSFUL;  // an abort reports 0 bytes
}

// In-direct means the system locked the caller's buffer for reading only: nothing may be written
// through that. The data go to pool first and are copied into the caller's range once it is secured
// (secured memory stays valid and writable, so the copy cannot fault; locking pages here could raise,
// and the driver has no exception handling).
NTSTATUS read_into_read_locked_buffer(const Request& request, PUSBD_PIPE_INFORMATION pipe, ULONG* transferred) {
  *transferred = 0;
  PVOID address = MmGetMdlVirtualAddress(request.irp->MdlAddress);
  HANDLE secured = nullptr;
  if (request.irp->RequestorMode != KernelMode) {
    secured = MmSecureVirtualMemory(address, request.output_length, PAGE_READWRITE);
    if (secured == nullptr) return STATUS_INVALID_PARAMETER;
  }
  PVOID bounce = ExAllocatePoolWithTag(kPoolType, request.output_length, kPoolTag);
  NTSTATUS status = STATUS_UNSUCCESSFUL;
  if (bounce != nullptr) {
    status = bulk_transfer(request, pipe, bounce, nullptr, transferred);
    if (*transferred > request.output_length) *transferred = request.output_length;  // never past the caller's range
    if (*transferred != 0) RtlCopyMemory(address, bounce, *transferred);
    free_pool(bounce);
  }
  if (secured != nullptr) MmUnsecureVirtualMemory(secured);
  return status;
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
  ULONG transferred = 0;
  NTSTATUS status = into_caller && request.code == kIoctlTransferInDirect
                        ? read_into_read_locked_buffer(request, pipe, &transferred)
                        : bulk_transfer(request, pipe, nullptr, request.irp->MdlAddress, &transferred);
  *information = transferred;
  return status;
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
  // The counter comes first: once it is held, removal cannot free the interface information under us;
  // and a stop cannot replace it while the request is counted as active.
  if (!NT_SUCCESS(acquire_pending(extension))) return complete_request(irp, STATUS_DELETE_PENDING, 0);
  NTSTATUS admitted = begin_control_request(extension);
  if (!NT_SUCCESS(admitted)) {
    release_pending(extension);
    return complete_request(irp, admitted, 0);
  }
  if (extension->interface_information == nullptr) {
    end_control_request(extension);
    release_pending(extension);
    return complete_request(irp, STATUS_UNSUCCESSFUL, 0);
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
  end_control_request(extension);
  complete_request(irp, status, NT_SUCCESS(status) ? information : 0);
  release_pending(extension);
  return status;
}
