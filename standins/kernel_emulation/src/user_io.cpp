// The user-mode side of the emulated I/O manager: opening a device by its link, device control with
// buffered, in-direct, out-direct and neither buffers, closing (cleanup, then close once no request
// refers to the handle any more), cancelling, and the end of a process.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include "state.h"

struct _FILE_OBJECT {
  PDEVICE_OBJECT DeviceObject;
};

namespace emu::detail {
PMDL make_mdl(PVOID address, ULONG length);
void release_device_reference(PDEVICE_OBJECT device);
bool probe_and_lock(PMDL mdl, KPROCESSOR_MODE mode, LOCK_OPERATION operation);
int wait_limit_seconds();
}  // namespace emu::detail

using namespace emu::detail;

namespace emu {

namespace {

// What a file object's requests share; kept alive by the handle and by each request in progress,
// as every request holds a reference to its file object.
struct FileState {
  _FILE_OBJECT file{};    // names the device opened; each request goes to the top of its stack then
  PEPROCESS process = nullptr;
  std::mutex mutex;       // guards in_flight
  std::condition_variable changed;
  std::map<PIRP, bool> in_flight;  // requests sent and not yet completed -> their dispatch has returned
};

}  // namespace

struct UserHandle {
  std::shared_ptr<FileState> state;
};

namespace {

std::mutex handles_mutex;  // guards open_handles
std::multimap<PEPROCESS, UserHandle*> open_handles;

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

NTSTATUS send_simple(FileState& file, UCHAR major, PEPROCESS context) {
  ProcessContext in_process(context);
  PDEVICE_OBJECT device = referenced_top(file.file.DeviceObject);
  PIRP irp = allocate_irp(device->StackSize);
  irp->RequestorMode = UserMode;
  irp->Tail.Overlay.Thread = context != nullptr ? thread_of(context) : nullptr;
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction = major;
  next->FileObject = &file.file;
  NTSTATUS status = send_and_wait(device, irp);
  free_irp(irp);
  release_device_reference(device);
  return status;
}

// Waits until `done` holds, or aborts the test with `why` after the emulation's wait limit.
template <typename Done>
void wait_or_abort(FileState& file, std::unique_lock<std::mutex>& lock, Done done, const char* why) {
  if (!file.changed.wait_for(lock, std::chrono::seconds(wait_limit_seconds()), done)) {
    std::fprintf(stderr, "kernel emulation: %s, not within %d s\n", why, wait_limit_seconds());
    std::abort();
  }
}

void forget_handle(UserHandle* handle) {
  std::lock_guard lock(handles_mutex);
  for (auto it = open_handles.begin(); it != open_handles.end(); ++it) {
    if (it->second == handle) {
      open_handles.erase(it);
      return;
    }
  }
}

// The buffers of one request, registered as user memory of its process while it is in progress.
struct UserBuffers {
  UserBuffers(PEPROCESS process, const void* input, ULONG input_length, void* output, ULONG output_length)
      : process(process), input(input), input_length(input_length), output(output), output_length(output_length) {
    add_user_range(input, input_length, process);
    add_user_range(output, output_length, process);
  }
  ~UserBuffers() {
    remove_user_range(input, input_length, process);
    remove_user_range(output, output_length, process);
  }
  UserBuffers(const UserBuffers&) = delete;
  UserBuffers& operator=(const UserBuffers&) = delete;
  PEPROCESS process;
  const void* input;
  ULONG input_length;
  void* output;
  ULONG output_length;
};

}  // namespace

NTSTATUS open_device(const std::u16string& name, UserHandle** handle, PEPROCESS process) {
  *handle = nullptr;
  if (process == nullptr) process = default_process();
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
  auto* h = new UserHandle{std::make_shared<FileState>()};
  h->state->file.DeviceObject = device;
  h->state->process = process;
  NTSTATUS status = send_simple(*h->state, IRP_MJ_CREATE, process);
  if (!NT_SUCCESS(status)) {
    release_device_reference(device);
    delete h;
    return status;
  }
  std::lock_guard lock(handles_mutex);
  open_handles.emplace(process, h);
  *handle = h;
  return status;
}

// The last handle goes: the driver gets IRP_MJ_CLEANUP at once, and IRP_MJ_CLOSE once no request
// refers to the file object any more. Closing cancels nothing by itself: a request still blocked
// inside a dispatch routine keeps the close waiting (the test ends at the wait limit).
NTSTATUS close_device(UserHandle* handle) {
  forget_handle(handle);
  std::shared_ptr<FileState> file = handle->state;
  delete handle;
  send_simple(*file, IRP_MJ_CLEANUP, file->process);
  {
    std::unique_lock lock(file->mutex);
    wait_or_abort(*file, lock, [&] { return file->in_flight.empty(); },
                  "a closed handle's request never completed (closing a handle does not cancel a request "
                  "blocked inside a dispatch routine)");
  }
  // The close comes in whatever thread drops the last reference: no process context of the caller.
  NTSTATUS status = send_simple(*file, IRP_MJ_CLOSE, nullptr);
  release_device_reference(file->file.DeviceObject);
  return status;
}

// CancelIoEx: every request of the handle, wherever it is, through IoCancelIrp.
void cancel_io(UserHandle* handle) {
  std::lock_guard lock(handle->state->mutex);
  for (auto& [irp, dispatched] : handle->state->in_flight) IoCancelIrp(irp);
}

// The process ends. Its threads die only on their way back to user mode: one blocked inside a
// dispatch routine keeps the process alive (the test ends at the wait limit). Then the I/O
// manager cancels each thread's pending requests, waits for them, and closes the handles.
void end_process(PEPROCESS process) {
  std::vector<UserHandle*> handles;
  {
    std::lock_guard lock(handles_mutex);
    auto [begin, end] = open_handles.equal_range(process);
    for (auto it = begin; it != end; ++it) handles.push_back(it->second);
  }
  for (UserHandle* handle : handles) {
    FileState& file = *handle->state;
    std::unique_lock lock(file.mutex);
    wait_or_abort(file, lock, [&] {
      return std::all_of(file.in_flight.begin(), file.in_flight.end(), [](auto& r) { return r.second; });
    }, "a thread blocked inside a dispatch routine cannot end (it dies only on its way back to user mode)");
    for (auto& [irp, dispatched] : file.in_flight) IoCancelIrp(irp);
  }
  for (UserHandle* handle : handles) close_device(handle);
}

size_t requests_in_flight(UserHandle* handle) {
  std::lock_guard lock(handle->state->mutex);
  return handle->state->in_flight.size();
}

PDEVICE_OBJECT device_of(UserHandle* handle) { return handle->state->file.DeviceObject; }

NTSTATUS device_io_control(UserHandle* handle, ULONG code, const void* input, ULONG input_length, void* output,
                           ULONG output_length, ULONG* returned) {
  *returned = 0;
  std::shared_ptr<FileState> file = handle->state;  // the request's reference to its file object
  ProcessContext in_process(file->process);
  UserBuffers buffers(file->process, input, input_length, output, output_length);
  PDEVICE_OBJECT device = referenced_top(file->file.DeviceObject);
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
  irp->Tail.Overlay.Thread = thread_of(file->process);
  irp->AssociatedIrp.SystemBuffer = system_buffer;
  irp->MdlAddress = mdl;
  irp->UserBuffer = output;
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction = IRP_MJ_DEVICE_CONTROL;
  next->FileObject = &file->file;
  next->Parameters.DeviceIoControl.IoControlCode = code;
  next->Parameters.DeviceIoControl.InputBufferLength = input_length;
  next->Parameters.DeviceIoControl.OutputBufferLength = output_length;
  next->Parameters.DeviceIoControl.Type3InputBuffer = const_cast<void*>(input);
  {
    std::lock_guard lock(file->mutex);
    file->in_flight[irp] = false;
  }
  IO_STATUS_BLOCK iosb{};
  NTSTATUS status = send_and_wait(device, irp, &iosb, [&](NTSTATUS) {
    std::lock_guard lock(file->mutex);
    auto it = file->in_flight.find(irp);
    if (it != file->in_flight.end()) it->second = true;
    file->changed.notify_all();
  });
  ULONG_PTR information = iosb.Information;
  if (method == METHOD_BUFFERED && !NT_ERROR(status) && information > 0) {
    if (information > output_length) report_violation("driver reported more bytes than the output buffer holds");
    std::memcpy(output, system_buffer, std::min<ULONG_PTR>(information, output_length));
  }
  *returned = static_cast<ULONG>(information);
  if (mdl != nullptr) {
    MmUnlockPages(mdl);
    IoFreeMdl(mdl);
  }
  std::free(system_buffer);
  release_device_reference(device);
  {
    std::lock_guard lock(file->mutex);
    file->in_flight.erase(irp);
    file->changed.notify_all();
  }
  free_irp(irp);
  return status;
}

}  // namespace emu
