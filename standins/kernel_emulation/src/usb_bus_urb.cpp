// How the simulated bus serves request blocks: configuration, descriptors, vendor requests, bulk
// transfers through buffers or MDLs, frame numbers and pipe resets and aborts.
#include <algorithm>
#include <cstdio>

#include "kernel_emulation/usb_bus.h"
#include "usb_bus_port.h"

namespace emu {

namespace {

bool read_buffer(PVOID buffer, PMDL mdl, void* destination, size_t length) {
  if (length == 0) return true;
  if (mdl != nullptr) return read_mdl(mdl, destination, length);
  if (buffer == nullptr) return false;
  std::memcpy(destination, buffer, length);
  return true;
}

bool write_buffer(PVOID buffer, PMDL mdl, const void* source, size_t length) {
  if (length == 0) return true;
  if (mdl != nullptr) return write_mdl(mdl, source, length);
  if (buffer == nullptr) return false;
  std::memcpy(buffer, source, length);
  return true;
}

NTSTATUS fail(PURB urb, USBD_STATUS status) {
  urb->UrbHeader.Status = status;
  return STATUS_UNSUCCESSFUL;
}

void check_length(PURB urb, size_t expected, const char* what) {
  if (urb->UrbHeader.Length != expected)
    report_violation(std::string("request block length wrong for ") + what + ": " +
                     std::to_string(urb->UrbHeader.Length) + " instead of " + std::to_string(expected));
}

}  // namespace

UsbBus::Pipe* UsbBus::find_pipe(Port& port, USBD_PIPE_HANDLE handle) {
  std::lock_guard lock(mutex_);
  if (!port.configured) return nullptr;
  for (auto& pipe : port.pipes)
    if (pipe.get() == handle) return pipe.get();
  return nullptr;
}

NTSTATUS UsbBus::process_urb(Port& port, PURB urb) {
  std::lock_guard serial(process_mutex_);
  NTSTATUS call;
  USBD_STATUS status;
  urb->UrbHeader.Status = USBD_STATUS_SUCCESS;
  char line[64];
  std::snprintf(line, sizeof line, "urb %x", urb->UrbHeader.Function);
  if (take_refusal(urb->UrbHeader.Function, &call, &status)) {
    note(std::string(line) + " refused");
    urb->UrbHeader.Status = status;
    return call;
  }
  switch (urb->UrbHeader.Function) {
    case URB_FUNCTION_SELECT_CONFIGURATION:
      return select_configuration(port, urb);
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE:
      return descriptor_request(port, urb);
    case URB_FUNCTION_VENDOR_DEVICE:
      return vendor_request(port, urb);
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER:
      return bulk_transfer(port, urb);
    case URB_FUNCTION_GET_CURRENT_FRAME_NUMBER: {
      check_length(urb, sizeof(struct _URB_GET_CURRENT_FRAME_NUMBER), "frame number");
      note("frame");
      std::lock_guard lock(mutex_);
      urb->UrbGetCurrentFrameNumber.FrameNumber = frame_fixed_ ? frame_ : frame_++;
      return STATUS_SUCCESS;
    }
    case URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL:
    case URB_FUNCTION_ABORT_PIPE: {
      bool reset = urb->UrbHeader.Function == URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL;
      check_length(urb, sizeof(struct _URB_PIPE_REQUEST), reset ? "reset pipe" : "abort pipe");
      Pipe* pipe = find_pipe(port, urb->UrbPipeRequest.PipeHandle);
      note(std::string(reset ? "reset-pipe " : "abort-pipe ") + (pipe ? std::to_string(pipe->endpoint) : "?"));
      if (pipe == nullptr) return fail(urb, USBD_STATUS_INVALID_PIPE_HANDLE);
      release_parked(port, pipe, USBD_STATUS_CANCELED);  // completed before this request itself
      return STATUS_SUCCESS;
    }
    default:
      note(line);
      return fail(urb, USBD_STATUS_INVALID_URB_FUNCTION);
  }
}

NTSTATUS UsbBus::select_configuration(Port& port, PURB urb) {
  auto& select = urb->UrbSelectConfiguration;
  if (select.ConfigurationDescriptor == nullptr) {
    check_length(urb, sizeof(struct _URB_SELECT_CONFIGURATION), "unconfigure");
    note("select none");
    std::lock_guard lock(mutex_);
    port.configured = false;
    port.pipes.clear();
    return STATUS_SUCCESS;
  }
  std::vector<uint8_t> config;
  if (!port.function->descriptor(USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, &config)) return fail(urb, USBD_STATUS_STALL_PID);
  auto* descriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(config.data());
  PUSBD_INTERFACE_INFORMATION info = &select.Interface;
  auto* end = reinterpret_cast<PUCHAR>(urb) + urb->UrbHeader.Length;
  std::vector<std::unique_ptr<Pipe>> pipes;
  int interfaces = 0;
  while (reinterpret_cast<PUCHAR>(info) < end) {
    PUSB_INTERFACE_DESCRIPTOR interface = USBD_ParseConfigurationDescriptorEx(
        descriptor, descriptor, info->InterfaceNumber, info->AlternateSetting, -1, -1, -1);
    if (interface == nullptr || interface->bNumEndpoints != info->NumberOfPipes ||
        info->Length != GET_USBD_INTERFACE_SIZE(info->NumberOfPipes))
      return fail(urb, USBD_STATUS_INVALID_PARAMETER);
    info->Class = interface->bInterfaceClass;
    info->SubClass = interface->bInterfaceSubClass;
    info->Protocol = interface->bInterfaceProtocol;
    info->InterfaceHandle = &port.interface_token;
    auto* p = reinterpret_cast<PUCHAR>(interface) + interface->bLength;
    for (ULONG i = 0; i < info->NumberOfPipes; ++i) {
      while (reinterpret_cast<PUSB_COMMON_DESCRIPTOR>(p)->bDescriptorType != USB_ENDPOINT_DESCRIPTOR_TYPE)
        p += reinterpret_cast<PUSB_COMMON_DESCRIPTOR>(p)->bLength;
      auto* endpoint = reinterpret_cast<PUSB_ENDPOINT_DESCRIPTOR>(p);
      auto pipe = std::make_unique<Pipe>(
          Pipe{endpoint->bEndpointAddress, endpoint->bmAttributes, endpoint->wMaxPacketSize, endpoint->bInterval});
      USBD_PIPE_INFORMATION& out = info->Pipes[i];
      out.MaximumPacketSize = endpoint->wMaxPacketSize;
      out.EndpointAddress = endpoint->bEndpointAddress;
      out.Interval = endpoint->bInterval;
      out.PipeType = static_cast<USBD_PIPE_TYPE>(endpoint->bmAttributes & 3);
      out.PipeHandle = pipe.get();
      out.PipeFlags = 0;
      pipes.push_back(std::move(pipe));
      p += endpoint->bLength;
    }
    ++interfaces;
    info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(reinterpret_cast<PUCHAR>(info) + info->Length);
  }
  select.ConfigurationHandle = &port.configuration_token;
  note("select " + std::to_string(interfaces));
  std::lock_guard lock(mutex_);
  port.pipes = std::move(pipes);
  port.configured = true;
  return STATUS_SUCCESS;
}

NTSTATUS UsbBus::descriptor_request(Port& port, PURB urb) {
  auto& request = urb->UrbControlDescriptorRequest;
  check_length(urb, sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST), "get descriptor");
  char line[64];
  std::snprintf(line, sizeof line, "descriptor %d %d %u", request.DescriptorType, request.Index,
                request.TransferBufferLength);
  note(line);
  std::vector<uint8_t> bytes;
  if (!port.function->descriptor(request.DescriptorType, request.Index, &bytes)) {
    request.TransferBufferLength = 0;
    return fail(urb, USBD_STATUS_STALL_PID);
  }
  size_t length = std::min<size_t>(bytes.size(), request.TransferBufferLength);
  if (!write_buffer(request.TransferBuffer, request.TransferBufferMDL, bytes.data(), length))
    return fail(urb, USBD_STATUS_INVALID_PARAMETER);
  request.TransferBufferLength = static_cast<ULONG>(length);
  return STATUS_SUCCESS;
}

NTSTATUS UsbBus::vendor_request(Port& port, PURB urb) {
  auto& request = urb->UrbControlVendorClassRequest;
  check_length(urb, sizeof(struct _URB_CONTROL_VENDOR_OR_CLASS_REQUEST), "vendor request");
  char line[64];
  std::snprintf(line, sizeof line, "vendor %x %x %u", request.Request, request.Value, request.TransferBufferLength);
  note(line);
  if (request.TransferFlags & USBD_TRANSFER_DIRECTION_IN) return fail(urb, USBD_STATUS_INVALID_PARAMETER);
  std::vector<uint8_t> data(request.TransferBufferLength);
  if (!read_buffer(request.TransferBuffer, request.TransferBufferMDL, data.data(), data.size()))
    return fail(urb, USBD_STATUS_INVALID_PARAMETER);
  USBD_STATUS status = port.function->vendor_out(request.Request, request.Value, request.Index, data.data(), data.size());
  if (port.function->take_reenumeration()) {
    std::lock_guard lock(mutex_);
    reenumerate_.push_back(port.index);
  }
  return USBD_SUCCESS(status) ? STATUS_SUCCESS : fail(urb, status);
}

NTSTATUS UsbBus::bulk_transfer(Port& port, PURB urb) {
  auto& transfer = urb->UrbBulkOrInterruptTransfer;
  check_length(urb, sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER), "bulk transfer");
  Pipe* pipe = find_pipe(port, transfer.PipeHandle);
  bool in_flag = (transfer.TransferFlags & USBD_TRANSFER_DIRECTION_IN) != 0;
  char line[64];
  std::snprintf(line, sizeof line, "bulk %x %s %u", pipe ? pipe->endpoint : 0, in_flag ? "in" : "out",
                transfer.TransferBufferLength);
  note(line);
  if (pipe == nullptr) return fail(urb, USBD_STATUS_INVALID_PIPE_HANDLE);
  {
    std::lock_guard lock(mutex_);
    if (port.gone) return fail(urb, USBD_STATUS_DEVICE_GONE);
  }
  bool in_endpoint = (pipe->endpoint & USB_ENDPOINT_DIRECTION_MASK) != 0;
  if (in_flag != in_endpoint) {
    report_violation("bulk transfer direction flag does not match the endpoint");
    return fail(urb, USBD_STATUS_INVALID_PARAMETER);
  }
  std::vector<uint8_t> data(transfer.TransferBufferLength);
  if (!in_endpoint) {
    if (!read_buffer(transfer.TransferBuffer, transfer.TransferBufferMDL, data.data(), data.size()))
      return fail(urb, USBD_STATUS_INVALID_PARAMETER);
    USBD_STATUS status = port.function->bulk_out(pipe->endpoint, data.data(), data.size());
    if (!USBD_SUCCESS(status)) return fail(urb, status);
    serve_parked(port);  // what was written may be what a pending read waits for
    return STATUS_SUCCESS;
  }
  size_t got = 0;
  USBD_STATUS status = port.function->bulk_in(pipe->endpoint, data.data(), data.size(), &got);
  if (status == kNak) {
    note("nak");
    return STATUS_PENDING;  // the caller parks the request
  }
  if (!USBD_SUCCESS(status)) return fail(urb, status);
  if (!write_buffer(transfer.TransferBuffer, transfer.TransferBufferMDL, data.data(), got))
    return fail(urb, USBD_STATUS_INVALID_PARAMETER);
  transfer.TransferBufferLength = static_cast<ULONG>(got);
  if (got < data.size() && !(transfer.TransferFlags & USBD_SHORT_TRANSFER_OK))
    return fail(urb, USBD_STATUS_BUFFER_OVERRUN);
  return STATUS_SUCCESS;
}

// Offers the NAKed reads of a port to their endpoints again; those that get data are completed
// by complete_ready, outside the locks.
void UsbBus::serve_parked(Port& port) {
  std::lock_guard lock(mutex_);
  for (auto it = port.parked.begin(); it != port.parked.end();) {
    PIRP irp = *it;
    if (!claim_parked(irp)) {
      ++it;
      continue;
    }
    auto* urb = static_cast<PURB>(IoGetCurrentIrpStackLocation(irp)->Parameters.Others.Argument1);
    auto& transfer = urb->UrbBulkOrInterruptTransfer;
    auto* pipe = static_cast<Pipe*>(transfer.PipeHandle);
    std::vector<uint8_t> data(transfer.TransferBufferLength);
    size_t got = 0;
    USBD_STATUS status = port.function->bulk_in(pipe->endpoint, data.data(), data.size(), &got);
    if (status == kNak) {
      if (arm_parked(irp, &UsbBus::cancel_parked)) {
        ++it;
        continue;
      }
      URB_STATUS(urb) = USBD_STATUS_CANCELED;
      irp->IoStatus.Status = STATUS_CANCELLED;
      ready_.push_back(irp);
      it = port.parked.erase(it);
      continue;
    }
    NTSTATUS call = STATUS_SUCCESS;
    if (!USBD_SUCCESS(status) || !write_buffer(transfer.TransferBuffer, transfer.TransferBufferMDL, data.data(), got)) {
      call = fail(urb, USBD_SUCCESS(status) ? USBD_STATUS_INVALID_PARAMETER : status);
    } else {
      transfer.TransferBufferLength = static_cast<ULONG>(got);
    }
    irp->IoStatus.Status = call;
    ready_.push_back(irp);
    it = port.parked.erase(it);
  }
}

// Ends the NAKed reads of one pipe (or of every pipe) with a status: an abort, a reset, removal.
void UsbBus::release_parked(Port& port, PVOID pipe, USBD_STATUS status) {
  std::lock_guard lock(mutex_);
  for (auto it = port.parked.begin(); it != port.parked.end();) {
    PIRP irp = *it;
    auto* urb = static_cast<PURB>(IoGetCurrentIrpStackLocation(irp)->Parameters.Others.Argument1);
    if ((pipe != nullptr && urb->UrbBulkOrInterruptTransfer.PipeHandle != pipe) || !claim_parked(irp)) {
      ++it;
      continue;
    }
    urb->UrbHeader.Status = status;
    urb->UrbBulkOrInterruptTransfer.TransferBufferLength = 0;
    irp->IoStatus.Status = STATUS_CANCELLED;
    ready_.push_back(irp);
    it = port.parked.erase(it);
  }
}

}  // namespace emu
