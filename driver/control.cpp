// The control interface user mode drives a unit with: pipe reset and abort, frame number,
// interface information, device descriptor, and bulk or interrupt transfers (transfer.cpp).
#include "kvusb.h"

using namespace kvusb;

namespace {

struct Request {
  DeviceExtension* extension;
  PIRP irp;  // for the caller's pointer width
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

// In the layout of the caller's own pointer width, never past its buffer.
NTSTATUS interface_information(const Request& request, ULONG_PTR* information) {
  PUSBD_INTERFACE_INFORMATION configured = request.extension->interface_information;
  const bool narrow = caller_is_32bit(request.irp);
  const ULONG length = interface_layout_length(configured->NumberOfPipes, narrow);
  if (request.output_length < length) return STATUS_INVALID_PARAMETER;
  write_interface_layout(request.buffer, configured, narrow);
  *information = length;
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
  NTSTATUS status;
  if (request.code == kIoctlTransferOutDirect || request.code == kIoctlTransferInDirect) {
    status = start_transfer(extension, irp, request.code, request.input_length, request.output_length, request.buffer);
    if (status == STATUS_PENDING) return status;  // completes, and gives its counts back, when the bus returns it
  } else {
    status = dispatch_code(request, &information);
  }
  end_control_request(extension);
  complete_request(irp, status, NT_SUCCESS(status) ? information : 0);
  release_pending(extension);
  return status;
}
