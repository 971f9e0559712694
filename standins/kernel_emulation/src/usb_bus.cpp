// The simulated USB bus: PDOs, Plug and Play and power answers, re-enumeration, and the worker
// thread that completes requests later when asked to.
#include "kernel_emulation/usb_bus.h"
#include "usb_bus_port.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "state.h"

namespace emu::detail {
void attach_upper_filter(PDEVICE_OBJECT function_device);
}

namespace emu {

namespace {

struct PdoExtension {
  UsbBus* bus;
  int port;
};

PdoExtension* pdo_extension(PDEVICE_OBJECT device) { return static_cast<PdoExtension*>(device->DeviceExtension); }

}  // namespace

UsbBus::UsbBus(PDRIVER_OBJECT function_driver) : function_driver_(function_driver) {
  bus_driver_.Type = 4;
  for (auto& f : bus_driver_.MajorFunction) f = &UsbBus::dispatch_other;
  bus_driver_.MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = &UsbBus::dispatch_internal;
  bus_driver_.MajorFunction[IRP_MJ_PNP] = &UsbBus::dispatch_pnp;
  bus_driver_.MajorFunction[IRP_MJ_POWER] = &UsbBus::dispatch_power;
}

UsbBus::~UsbBus() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    hold_ = false;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void UsbBus::note(const std::string& line) {
  std::lock_guard lock(mutex_);
  log_.push_back(line);
}

std::vector<std::string> UsbBus::log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

void UsbBus::clear_log() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

int UsbBus::plug(std::shared_ptr<UsbFunction> function) {
  int port;
  {
    std::lock_guard lock(mutex_);
    ports_.push_back(std::make_unique<Port>());
    port = static_cast<int>(ports_.size()) - 1;
    ports_.back()->index = port;
    ports_.back()->function = std::move(function);
  }
  enumerate(port);
  settle();
  return port;
}

void UsbBus::enumerate(int index) {
  Port& port = *ports_[index];
  std::vector<uint8_t> device;
  if (!port.function->descriptor(USB_DEVICE_DESCRIPTOR_TYPE, 0, &device) || device.size() != 18 || device[1] != 1) {
    note("enumeration failed");
    return;
  }
  PDEVICE_OBJECT pdo = nullptr;
  detail::allocations_uncounted = true;
  IoCreateDevice(&bus_driver_, sizeof(PdoExtension), nullptr, FILE_DEVICE_USB, 0, FALSE, &pdo);
  detail::allocations_uncounted = false;
  *pdo_extension(pdo) = PdoExtension{this, index};
  pdo->Flags &= ~DO_DEVICE_INITIALIZING;
  {
    std::lock_guard lock(mutex_);
    port.pdo = pdo;
    port.enumerations++;
  }
  port.add_status = function_driver_->DriverExtension->AddDevice(function_driver_, pdo);
  if (!NT_SUCCESS(port.add_status)) return;
  if (pdo->AttachedDevice == nullptr) {
    report_violation("add-device succeeded without attaching to the stack");
    return;
  }
  if (pdo->AttachedDevice->Flags & DO_DEVICE_INITIALIZING) report_violation("add-device left DO_DEVICE_INITIALIZING set");
  detail::attach_upper_filter(pdo->AttachedDevice);
  port.start_status = send_pnp(index, IRP_MN_START_DEVICE, nullptr);
}

void UsbBus::settle() {
  for (;;) {
    int port;
    {
      std::lock_guard lock(mutex_);
      if (reenumerate_.empty()) return;
      port = reenumerate_.front();
      reenumerate_.erase(reenumerate_.begin());
    }
    note("re-enumerate");
    if (present(port)) unplug(port);
    enumerate(port);
  }
}

NTSTATUS UsbBus::send_pnp(int port, UCHAR minor, DEVICE_CAPABILITIES* capabilities) {
  PDEVICE_OBJECT device = top(port);
  PIRP irp = allocate_irp(device->StackSize);
  irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction = IRP_MJ_PNP;
  next->MinorFunction = minor;
  next->Parameters.DeviceCapabilities.Capabilities = capabilities;
  NTSTATUS status = send_and_wait(device, irp);
  free_irp(irp);
  return status;
}

NTSTATUS UsbBus::start(int port) {
  NTSTATUS status = send_pnp(port, IRP_MN_START_DEVICE, nullptr);
  ports_[port]->start_status = status;
  settle();
  return status;
}

NTSTATUS UsbBus::stop(int port) {
  NTSTATUS status = send_pnp(port, IRP_MN_QUERY_STOP_DEVICE, nullptr);
  if (!NT_SUCCESS(status)) {
    send_pnp(port, IRP_MN_CANCEL_STOP_DEVICE, nullptr);
    return status;
  }
  return send_pnp(port, IRP_MN_STOP_DEVICE, nullptr);
}

NTSTATUS UsbBus::pnp(int port, UCHAR minor) { return send_pnp(port, minor, nullptr); }

NTSTATUS UsbBus::system_control(int port) {
  PDEVICE_OBJECT device = top(port);
  PIRP irp = allocate_irp(device->StackSize);
  irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
  IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_SYSTEM_CONTROL;
  NTSTATUS status = send_and_wait(device, irp);
  free_irp(irp);
  return status;
}

NTSTATUS UsbBus::query_capabilities(int port, USHORT version, DEVICE_CAPABILITIES* capabilities) {
  std::memset(capabilities, 0, sizeof(*capabilities));
  capabilities->Size = sizeof(*capabilities);
  capabilities->Version = version;
  return send_pnp(port, IRP_MN_QUERY_CAPABILITIES, capabilities);
}

NTSTATUS UsbBus::remove(int port) {
  NTSTATUS status = send_pnp(port, IRP_MN_QUERY_REMOVE_DEVICE, nullptr);
  if (!NT_SUCCESS(status)) {
    send_pnp(port, IRP_MN_CANCEL_REMOVE_DEVICE, nullptr);
    return status;
  }
  return finish_removal(port);
}

NTSTATUS UsbBus::finish_removal(int port) {
  NTSTATUS status = send_pnp(port, IRP_MN_REMOVE_DEVICE, nullptr);
  delete_pdo(port);
  return status;
}

NTSTATUS UsbBus::surprise_remove(int port) {
  {
    std::lock_guard lock(mutex_);
    ports_[port]->gone = true;
  }
  release_parked(*ports_[port], nullptr, USBD_STATUS_DEVICE_GONE);
  complete_ready();
  return send_pnp(port, IRP_MN_SURPRISE_REMOVAL, nullptr);
}

int UsbBus::sleep_and_wake(int port, SYSTEM_POWER_STATE sleep_state) {
  Port& slept = *ports_[port];
  std::vector<uint8_t> before;
  slept.function->descriptor(USB_DEVICE_DESCRIPTOR_TYPE, 0, &before);
  power(port, IRP_MN_SET_POWER, nullptr, SystemPowerState, sleep_state);
  note("power lost");
  slept.function->power_lost();
  release_parked(slept, nullptr, USBD_STATUS_DEVICE_GONE);
  complete_ready();
  power(port, IRP_MN_SET_POWER, nullptr, SystemPowerState, PowerSystemWorking);
  std::vector<uint8_t> after;
  slept.function->descriptor(USB_DEVICE_DESCRIPTOR_TYPE, 0, &after);
  if (after == before) return port;
  note("another device at the port");
  surprise_remove(port);
  return plug(slept.function);
}

NTSTATUS UsbBus::unplug(int port) {
  surprise_remove(port);
  return finish_removal(port);
}

void UsbBus::delete_pdo(int index) {
  Port& port = *ports_[index];
  if (port.pdo == nullptr) return;
  if (port.pdo->AttachedDevice != nullptr) report_violation("function driver still attached when its PDO goes");
  release_parked(port, nullptr, USBD_STATUS_DEVICE_GONE);
  bool abandoned;
  {
    std::lock_guard lock(mutex_);
    abandoned = !ready_.empty();
  }
  if (abandoned) report_violation("the device was removed with transfers still pending at the bus");
  complete_ready();
  IoDeleteDevice(port.pdo);
  std::lock_guard lock(mutex_);
  port.pdo = nullptr;
  port.configured = false;
  port.gone = false;
  port.pipes.clear();
}

NTSTATUS UsbBus::power(int port, UCHAR minor, int* start_next_calls, POWER_STATE_TYPE type, ULONG state) {
  PDEVICE_OBJECT device = top(port);
  PIRP irp = allocate_irp(device->StackSize);
  irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction = IRP_MJ_POWER;
  next->MinorFunction = minor;
  next->Parameters.Power.Type = type;
  if (type == SystemPowerState)
    next->Parameters.Power.State.SystemState = static_cast<SYSTEM_POWER_STATE>(state);
  else
    next->Parameters.Power.State.DeviceState = static_cast<DEVICE_POWER_STATE>(state);
  NTSTATUS status = send_and_wait(device, irp);
  if (start_next_calls != nullptr) *start_next_calls = start_next_power_calls(irp);
  free_irp(irp);
  return status;
}

int UsbBus::port_count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(ports_.size());
}

bool UsbBus::present(int port) const {
  std::lock_guard lock(mutex_);
  return ports_[port]->pdo != nullptr;
}

PDEVICE_OBJECT UsbBus::pdo(int port) const {
  std::lock_guard lock(mutex_);
  return ports_[port]->pdo;
}

PDEVICE_OBJECT UsbBus::function_device(int port) const {
  PDEVICE_OBJECT device = pdo(port);
  return device != nullptr ? device->AttachedDevice : nullptr;
}

size_t UsbBus::pending_in(int port) const {
  std::lock_guard lock(mutex_);
  return ports_[port]->parked.size();
}

PDEVICE_OBJECT UsbBus::top(int port) const {
  PDEVICE_OBJECT device = pdo(port);
  while (device != nullptr && device->AttachedDevice != nullptr) device = device->AttachedDevice;
  return device;
}

NTSTATUS UsbBus::add_status(int port) const { return ports_[port]->add_status; }
NTSTATUS UsbBus::start_status(int port) const { return ports_[port]->start_status; }

int UsbBus::enumerations(int port) const {
  std::lock_guard lock(mutex_);
  return ports_[port]->enumerations;
}

void UsbBus::complete_on_worker(bool on) {
  std::lock_guard lock(mutex_);
  worker_mode_ = on;
  if (on && !worker_.joinable()) worker_ = std::thread(&UsbBus::worker_loop, this);
}

void UsbBus::force_pending(bool on) {
  complete_on_worker(on);
  std::lock_guard lock(mutex_);
  force_pending_ = on;
}

void UsbBus::hold_bulk(bool on) {
  {
    std::lock_guard lock(mutex_);
    hold_ = on;
    if (!on) {
      // Back to the wire in the order they came.
      queue_.insert(queue_.begin(), held_.begin(), held_.end());
      held_.clear();
    }
  }
  changed_.notify_all();
  if (!on) complete_ready();
}

bool UsbBus::wait_for_held_bulk(int count) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(10),
                           [&] { return static_cast<int>(held_.size() + ready_.size()) >= count; });
}

void UsbBus::before_completing_data(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  before_data_ = std::move(hook);
}

void UsbBus::refuse(USHORT urb_function, NTSTATUS call_status, USBD_STATUS urb_status, int count, int skip) {
  std::lock_guard lock(mutex_);
  refusals_.push_back(Refusal{urb_function, call_status, urb_status, count, skip});
}

void UsbBus::refuse_start(NTSTATUS status) {
  std::lock_guard lock(mutex_);
  start_refusal_ = status;
}

void UsbBus::set_frame_number(ULONG frame) {
  std::lock_guard lock(mutex_);
  frame_ = frame;
  frame_fixed_ = true;
}

bool UsbBus::take_refusal(USHORT function, NTSTATUS* call, USBD_STATUS* urb) {
  std::lock_guard lock(mutex_);
  for (auto it = refusals_.begin(); it != refusals_.end(); ++it) {
    if (it->function != function) continue;
    if (it->skip > 0) {
      it->skip--;
      return false;
    }
    *call = it->call;
    *urb = it->urb;
    if (it->count > 0 && --it->count == 0) refusals_.erase(it);
    return true;
  }
  return false;
}

// ---- dispatch ----

NTSTATUS NTAPI UsbBus::dispatch_other(PDEVICE_OBJECT device, PIRP irp) {
  if (IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_SYSTEM_CONTROL) {
    UsbBus* bus = pdo_extension(device)->bus;
    bus->note("system-control");
    NTSTATUS status = irp->IoStatus.Status;  // no instrumentation here: the status travels back unchanged
    bool later;
    {
      std::lock_guard lock(bus->mutex_);
      later = bus->force_pending_;
    }
    if (later) {
      bus->complete_later(irp);
      return STATUS_PENDING;
    }
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
  }
  irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_INVALID_DEVICE_REQUEST;
}

void UsbBus::complete_later(PIRP irp) {
  IoMarkIrpPending(irp);
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(irp);
  }
  changed_.notify_all();
}

NTSTATUS NTAPI UsbBus::dispatch_internal(PDEVICE_OBJECT device, PIRP irp) {
  UsbBus* bus = pdo_extension(device)->bus;
  PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
  if (location->Parameters.DeviceIoControl.IoControlCode != IOCTL_INTERNAL_USB_SUBMIT_URB) {
    irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_INVALID_DEVICE_REQUEST;
  }
  bool later;
  {
    std::lock_guard lock(bus->mutex_);
    later = bus->worker_mode_;
  }
  if (later) {
    bus->complete_later(irp);
    return STATUS_PENDING;
  }
  Port& port = *bus->ports_[pdo_extension(device)->port];
  NTSTATUS status = bus->process_urb(port, static_cast<PURB>(location->Parameters.Others.Argument1));
  bus->complete_ready();
  if (status == STATUS_PENDING) {
    IoMarkIrpPending(irp);
    bus->park(port, irp);
    return STATUS_PENDING;
  }
  irp->IoStatus.Status = status;
  detail::RaisedIrql dispatch_level(DISPATCH_LEVEL);  // a bus completes its requests from its DPCs
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

NTSTATUS NTAPI UsbBus::dispatch_pnp(PDEVICE_OBJECT device, PIRP irp) {
  UsbBus* bus = pdo_extension(device)->bus;
  PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
  char line[32];
  std::snprintf(line, sizeof line, "pnp %d", location->MinorFunction);
  bus->note(line);
  NTSTATUS status = irp->IoStatus.Status;
  switch (location->MinorFunction) {
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_REMOVE_DEVICE:
      // A function driver that handles these sets success before passing them down.
      if (status != STATUS_SUCCESS && irp->StackCount > 1)
        report_violation("PnP request " + std::to_string(location->MinorFunction) +
                         " passed down without STATUS_SUCCESS set");
      break;
    default:
      break;
  }
  if (location->MinorFunction == IRP_MN_REMOVE_DEVICE)
    bus->check_nothing_left_at_remove(*bus->ports_[pdo_extension(device)->port]);
  switch (location->MinorFunction) {
    case IRP_MN_START_DEVICE: {
      std::lock_guard lock(bus->mutex_);
      status = bus->start_refusal_;
      bus->start_refusal_ = STATUS_SUCCESS;
      break;
    }
    case IRP_MN_QUERY_CAPABILITIES: {
      PDEVICE_CAPABILITIES caps = location->Parameters.DeviceCapabilities.Capabilities;
      caps->Removable = 1;
      caps->Address = static_cast<ULONG>(pdo_extension(device)->port);
      caps->UINumber = caps->Address;
      status = STATUS_SUCCESS;
      break;
    }
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_REMOVE_DEVICE:
      status = STATUS_SUCCESS;
      break;
    default:
      break;  // not ours: the status travels back unchanged
  }
  irp->IoStatus.Status = status;
  bool later;
  {
    std::lock_guard lock(bus->mutex_);
    later = bus->force_pending_ || (bus->worker_mode_ && (location->MinorFunction == IRP_MN_START_DEVICE ||
                                                          location->MinorFunction == IRP_MN_QUERY_CAPABILITIES));
  }
  if (later) {
    bus->complete_later(irp);
    return STATUS_PENDING;
  }
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

NTSTATUS NTAPI UsbBus::dispatch_power(PDEVICE_OBJECT device, PIRP irp) {
  UsbBus* bus = pdo_extension(device)->bus;
  char line[32];
  std::snprintf(line, sizeof line, "power %d", IoGetCurrentIrpStackLocation(irp)->MinorFunction);
  bus->note(line);
  PoStartNextPowerIrp(irp);
  irp->IoStatus.Status = STATUS_SUCCESS;
  bool later;
  {
    std::lock_guard lock(bus->mutex_);
    later = bus->force_pending_;
  }
  if (later) {
    bus->complete_later(irp);
    return STATUS_PENDING;
  }
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_SUCCESS;
}

// The function driver passes the remove down only after everything it sent the bus came back: a
// request of it still here would complete into a driver that has taken its device apart.
void UsbBus::check_nothing_left_at_remove(Port& port) {
  auto at_port = [&](PIRP irp) {
    PDEVICE_OBJECT device = IoGetCurrentIrpStackLocation(irp)->DeviceObject;
    return IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_INTERNAL_DEVICE_CONTROL &&
           device == port.pdo;
  };
  size_t left;
  {
    std::lock_guard lock(mutex_);
    left = port.parked.size() + std::count_if(held_.begin(), held_.end(), at_port) +
           std::count_if(ready_.begin(), ready_.end(), at_port) + std::count_if(queue_.begin(), queue_.end(), at_port);
  }
  if (left > 0)
    report_violation("the remove request reached the bus while " + std::to_string(left) +
                     " request(s) of the function driver were still there");
}

void UsbBus::worker_loop() {
  for (;;) {
    PIRP irp;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      irp = queue_.front();
      queue_.pop_front();
    }
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    if (location->MajorFunction == IRP_MJ_INTERNAL_DEVICE_CONTROL) {
      auto* urb = static_cast<PURB>(location->Parameters.Others.Argument1);
      Port& port = *ports_[pdo_extension(location->DeviceObject)->port];
      if (urb->UrbHeader.Function == URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER) {
        std::lock_guard lock(mutex_);
        if (hold_ && !stopping_) {
          held_.push_back(irp);  // on the wire until the hold ends
          changed_.notify_all();
          continue;
        }
      }
      NTSTATUS status = process_urb(port, urb);
      complete_ready();
      if (status == STATUS_PENDING) {
        park(port, irp);
        continue;
      }
      irp->IoStatus.Status = status;
    }
    detail::RaisedIrql dispatch_level(DISPATCH_LEVEL);
    IoCompleteRequest(irp, IO_NO_INCREMENT);
  }
}

// ---- bulk INs the endpoint NAKed ----

void UsbBus::park(Port& port, PIRP irp) {
  {
    // Under the lock, so that a cancel routine running now finds the request in the list.
    std::lock_guard lock(mutex_);
    if (arm_parked(irp, &UsbBus::cancel_parked)) {
      port.parked.push_back(irp);
      return;
    }
  }
  // Cancelled before it could be parked, and the cancel routine will not run: end it here.
  URB_STATUS(static_cast<PURB>(IoGetCurrentIrpStackLocation(irp)->Parameters.Others.Argument1)) =
      USBD_STATUS_CANCELED;
  irp->IoStatus.Status = STATUS_CANCELLED;
  detail::RaisedIrql dispatch_level(DISPATCH_LEVEL);
  IoCompleteRequest(irp, IO_NO_INCREMENT);
}

VOID NTAPI UsbBus::cancel_parked(PDEVICE_OBJECT device, PIRP irp) {
  IoReleaseCancelSpinLock(irp->CancelIrql);
  UsbBus* bus = pdo_extension(device)->bus;
  Port& port = *bus->ports_[pdo_extension(device)->port];
  {
    std::lock_guard lock(bus->mutex_);
    auto it = std::find(port.parked.begin(), port.parked.end(), irp);
    if (it == port.parked.end()) return;  // being ended by data or an abort on another thread
    port.parked.erase(it);
    URB_STATUS(static_cast<PURB>(IoGetCurrentIrpStackLocation(irp)->Parameters.Others.Argument1)) = USBD_STATUS_CANCELED;
    irp->IoStatus.Status = STATUS_CANCELLED;
    bus->ready_.push_back(irp);  // completed like every ended read: at once, or when a hold ends
  }
  bus->note("cancelled");
  bus->complete_ready();
}

void UsbBus::complete_ready() {
  std::vector<PIRP> ready;
  std::function<void()> hook;
  {
    std::lock_guard lock(mutex_);
    if (hold_ && !stopping_) return;  // completed when the hold ends
    ready.swap(ready_);
    if (before_data_ && std::any_of(ready.begin(), ready.end(), [](PIRP irp) { return NT_SUCCESS(irp->IoStatus.Status); }))
      hook.swap(before_data_);
  }
  if (hook) hook();
  detail::RaisedIrql dispatch_level(DISPATCH_LEVEL);
  for (PIRP irp : ready) {
    IoCompleteRequest(irp, IO_NO_INCREMENT);
  }
}

}  // namespace emu
