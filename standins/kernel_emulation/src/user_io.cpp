// The user-mode side of the emulated I/O manager: opening a device by its link, device control with
// buffered, in-direct, out-direct and neither buffers, and closing.
#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <set>

#include "state.h"

struct _FILE_OBJECT {
  PDEVICE_OBJECT DeviceObject;
};

namespace emu::detail {
PMDL make_mdl(PVOID address, ULONG length);
void release_device_reference(PDEVICE_OBJECT device);
bool probe_and_lock(PMDL mdl, KPROCESSOR_MODE mode, LOCK_OPERATION operation);
}  // namespace emu::detail

using namespace emu::detail;

namespace emu {

struct UserHandle {
  _FILE_OBJECT file;  // names the device opened; each request goes to the top of its stack then
  std::mutex mutex;   // guards in_flight
  std::set<PIRP> in_flight;  // requests sent and not yet returned, for cancel_io
};

namespace {

std::u16string kernel_name(const std::u16string& name) {
  const std::u16string user_prefix = u"\\\\.\\";
  if (name.rfind(user_prefix, 0) == 0) return u"\\DosDevices\\" + name.substr(user_prefix.size());
  return name;
}

PDEVICE_OBJECT top_of_stack(PDEVICE_OBJECT device) {
  while (device->AttachedDevice != nullptr) device = device->AttachedDevice;
  return device;
}

// The top of the stack above the opened device, referenced for the time of one request as the
// I/O manager does, so that a filter leaving the stack meanwhile stays valid until it returns.
PDEVICE_OBJECT referenced_top(PDEVICE_OBJECT named) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  PDEVICE_OBJECT device = top_of_stack(named);
  device->ReferenceCount++;
  return device;
}

NTSTATUS send_simple(PDEVICE_OBJECT named, PFILE_OBJECT file, UCHAR major) {
  PDEVICE_OBJECT device = referenced_top(named);
  PIRP irp = allocate_irp(device->StackSize);
  irp->RequestorMode = UserMode;
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction = major;
  next->FileObject = file;
  NTSTATUS status = send_and_wait(device, irp);
  free_irp(irp);
  release_device_reference(device);
  return status;
}

}  // namespace

NTSTATUS open_device(const std::u16string& name, UserHandle** handle) {
  *handle = nullptr;
  PDEVICE_OBJECT device = nullptr;
  {
    State& s = state();
    std::lock_guard lock(s.mutex);
    // A device name opens the device directly (as "\\.\GLOBALROOT\Device\..." does); any other
    // name goes through its symbolic link.
    std::u16string device_name = kernel_name(name);
    if (device_name.rfind(u"\\Device\\", 0) != 0) {
      auto link = s.links.find(device_name);
      if (link == s.links.end()) return STATUS_OBJECT_NAME_NOT_FOUND;
      device_name = link->second;
    }
    auto target = s.device_names.find(device_name);
    if (target == s.device_names.end()) return STATUS_OBJECT_NAME_NOT_FOUND;
    device = target->second;
    device->ReferenceCount++;
  }
  auto* h = new UserHandle;
  h->file.DeviceObject = device;
  NTSTATUS status = send_simple(device, &h->file, IRP_MJ_CREATE);
  if (!NT_SUCCESS(status)) {
    release_device_reference(device);
    delete h;
    return status;
  }
  *handle = h;
  return status;
}

NTSTATUS close_device(UserHandle* handle) {
  PDEVICE_OBJECT device = handle->file.DeviceObject;
  NTSTATUS status = send_simple(device, &handle->file, IRP_MJ_CLOSE);
  release_device_reference(device);
  delete handle;
  return status;
}

PDEVICE_OBJECT device_of(UserHandle* handle) { return handle->file.DeviceObject; }

void cancel_io(UserHandle* handle) {
  std::lock_guard lock(handle->mutex);
  for (PIRP irp : handle->in_flight) IoCancelIrp(irp);
}

size_t requests_in_flight(UserHandle* handle) {
  std::lock_guard lock(handle->mutex);
  return handle->in_flight.size();
}

NTSTATUS device_io_control(UserHandle* handle, ULONG code, const void* input, ULONG input_length, void* output,
                           ULONG output_length, ULONG* returned) {
  *returned = 0;
  PDEVICE_OBJECT device = referenced_top(handle->file.DeviceObject);
  ULONG method = code & 3;
  // The system buffer is exactly as long as the method needs, so overruns show under the sanitizer.
  ULONG system_length = method == METHOD_BUFFERED ? std::max(input_length, output_length) : input_length;
  void* system_buffer = nullptr;
  if (method != METHOD_NEITHER && system_length > 0) {
    system_buffer = std::malloc(system_length);
    std::memset(system_buffer, 0xEE, system_length);
    if (input_length > 0) std::memcpy(system_buffer, input, input_length);
  }
  PMDL mdl = nullptr;
  if ((method == METHOD_IN_DIRECT || method == METHOD_OUT_DIRECT) && output_length > 0) {
    mdl = make_mdl(output, output_length);
    bool read_only;
    {
      State& s = state();
      std::lock_guard lock(s.mutex);
      read_only = overlaps_read_only(s, output, output_length);
    }
    if (method == METHOD_OUT_DIRECT && read_only) {
      IoFreeMdl(mdl);
      std::free(system_buffer);
      release_device_reference(device);
      return STATUS_ACCESS_VIOLATION;
    }
    // The I/O manager catches what the probe raises and fails the call before any driver sees it.
    if (!probe_and_lock(mdl, UserMode, method == METHOD_OUT_DIRECT ? IoWriteAccess : IoReadAccess)) {
      IoFreeMdl(mdl);
      std::free(system_buffer);
      release_device_reference(device);
      return STATUS_ACCESS_VIOLATION;
    }
  }
  PIRP irp = allocate_irp(device->StackSize);
  irp->RequestorMode = UserMode;
  irp->AssociatedIrp.SystemBuffer = system_buffer;
  irp->MdlAddress = mdl;
  irp->UserBuffer = output;
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction = IRP_MJ_DEVICE_CONTROL;
  next->FileObject = &handle->file;
  next->Parameters.DeviceIoControl.IoControlCode = code;
  next->Parameters.DeviceIoControl.InputBufferLength = input_length;
  next->Parameters.DeviceIoControl.OutputBufferLength = output_length;
  next->Parameters.DeviceIoControl.Type3InputBuffer = const_cast<void*>(input);
  {
    std::lock_guard lock(handle->mutex);
    handle->in_flight.insert(irp);
  }
  IO_STATUS_BLOCK iosb{};
  NTSTATUS status = send_and_wait(device, irp, &iosb);
  {
    std::lock_guard lock(handle->mutex);
    handle->in_flight.erase(irp);
  }
  ULONG_PTR information = iosb.Information;
  if (method == METHOD_BUFFERED && !NT_ERROR(status) && information > 0) {
    if (information > output_length) report_violation("driver reported more bytes than the output buffer holds");
    std::memcpy(output, system_buffer, std::min<ULONG_PTR>(information, output_length));
  }
  *returned = static_cast<ULONG>(information);
  free_irp(irp);
  if (mdl != nullptr) {
    MmUnlockPages(mdl);
    IoFreeMdl(mdl);
  }
  std::free(system_buffer);
  release_device_reference(device);
  return status;
}

}  // namespace emu
