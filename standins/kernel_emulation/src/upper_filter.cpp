// An upper filter driver on every emulated stack, as many real stacks have: it copies its stack
// location, sets a completion routine and passes everything down. A driver below that puts its own
// completion routine on the wrong location (a skip where a copy is needed) overwrites the filter's,
// which then never runs; the emulation reports that when the request completes.
#include "state.h"

namespace emu::detail {

namespace {

struct FilterExtension {
  PDEVICE_OBJECT lower;
};

NTSTATUS NTAPI filter_completed(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
  (void)device;
  (void)context;
  {
    State& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.irps.find(irp);
    if (it != s.irps.end()) it->second.filter = nullptr;
  }
  if (irp->PendingReturned) IoMarkIrpPending(irp);
  return STATUS_SUCCESS;  // completion goes on upwards
}

NTSTATUS NTAPI filter_dispatch(PDEVICE_OBJECT device, PIRP irp) {
  PDEVICE_OBJECT lower = static_cast<FilterExtension*>(device->DeviceExtension)->lower;
  const bool remove = IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_PNP &&
                      IoGetCurrentIrpStackLocation(irp)->MinorFunction == IRP_MN_REMOVE_DEVICE;
  IoCopyCurrentIrpStackLocationToNext(irp);
  IoSetCompletionRoutine(irp, filter_completed, nullptr, TRUE, TRUE, TRUE);
  {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.irps[irp].filter = device;
  }
  NTSTATUS status = IoCallDriver(lower, irp);
  if (remove) {
    IoDetachDevice(lower);
    IoDeleteDevice(device);
  }
  return status;
}

DRIVER_OBJECT& filter_driver() {
  static DRIVER_OBJECT driver = [] {
    DRIVER_OBJECT d{};
    d.Type = 4;
    for (auto& f : d.MajorFunction) f = filter_dispatch;
    return d;
  }();
  return driver;
}

}  // namespace

void attach_upper_filter(PDEVICE_OBJECT function_device) {
  PDEVICE_OBJECT filter = nullptr;
  allocations_uncounted = true;
  IoCreateDevice(&filter_driver(), sizeof(FilterExtension), nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &filter);
  allocations_uncounted = false;
  auto* extension = static_cast<FilterExtension*>(filter->DeviceExtension);
  extension->lower = IoAttachDeviceToDeviceStack(filter, function_device);
  filter->Flags = function_device->Flags & (DO_DIRECT_IO | DO_BUFFERED_IO | DO_POWER_PAGABLE);
}

}  // namespace emu::detail
