// Plug and Play, power and instrumentation requests: start (with the unit's start-up), capabilities,
// stop with control requests held, surprise removal, remove after every request in progress has
// finished, and everything else passed down.
#include "kvusb.h"

using namespace kvusb;

namespace {

NTSTATUS NTAPI signal_completion(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
  (void)device;
  (void)irp;
  KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
  return STATUS_MORE_PROCESSING_REQUIRED;  // the waiting dispatch routine finishes the request
}

NTSTATUS pass_down(DeviceExtension* extension, PIRP irp) {
  IoSkipCurrentIrpStackLocation(irp);
  return IoCallDriver(extension->lower_device_object, irp);
}

// For the requests a function driver must answer before the bus sees them.
NTSTATUS succeed_and_pass_down(DeviceExtension* extension, PIRP irp) {
  irp->IoStatus.Status = STATUS_SUCCESS;
  return pass_down(extension, irp);
}

NTSTATUS finish(PIRP irp, NTSTATUS status) {
  irp->IoStatus.Status = status;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

NTSTATUS start_device(DeviceExtension* extension, PIRP irp) {
  NTSTATUS status = pass_down_and_wait(extension, irp);
  if (NT_SUCCESS(status)) status = start_unit(extension);
  if (NT_SUCCESS(status)) resume_control_requests(extension);  // a restart after a stop
  return finish(irp, status);
}

NTSTATUS query_stop(DeviceExtension* extension, PIRP irp) {
  NTSTATUS status = hold_control_requests(extension);
  if (!NT_SUCCESS(status)) return finish(irp, status);
  return succeed_and_pass_down(extension, irp);
}

NTSTATUS cancel_stop(DeviceExtension* extension, PIRP irp) {
  resume_control_requests(extension);
  return succeed_and_pass_down(extension, irp);
}

// The unit is gone from the bus: refuse what comes, end what waits, and free the name at once so
// the unit plugged in again gets it back.
NTSTATUS surprise_removal(DeviceExtension* extension, PIRP irp) {
  stop_transfers(extension, true);
  cancel_transfers(extension, nullptr);
  abort_pipes(extension);
  if (extension->link_present == 1) {
    UNICODE_STRING link_name;
    RtlInitUnicodeString(&link_name, extension->link_name);
    IoDeleteSymbolicLink(&link_name);
    extension->link_present = 0;
  }
  return succeed_and_pass_down(extension, irp);
}

NTSTATUS query_capabilities(DeviceExtension* extension, PIRP irp) {
  PDEVICE_CAPABILITIES capabilities = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceCapabilities.Capabilities;
  if (capabilities->Version < 1) return pass_down(extension, irp);
  NTSTATUS status = pass_down_and_wait(extension, irp);
  if (NT_SUCCESS(status)) capabilities->SurpriseRemovalOK = TRUE;
  return finish(irp, status);
}

// Control requests are held from the query on; the unit is unconfigured while the stack below is
// still started, then the request goes down (it belongs to the bus once passed).
NTSTATUS stop_device(DeviceExtension* extension, PIRP irp) {
  hold_control_requests(extension);
  unconfigure(extension);
  return succeed_and_pass_down(extension, irp);
}

// Waits until no request is inside the driver any more, then takes the unit apart.
NTSTATUS remove_device(PDEVICE_OBJECT device, DeviceExtension* extension, PIRP irp) {
  KIRQL irql;
  KeAcquireSpinLock(&extension->lock, &irql);
  extension->removing = 1;
  KeReleaseSpinLock(&extension->lock, irql);
  stop_transfers(extension, false);
  cancel_transfers(extension, nullptr);  // a read the unit NAKs would keep the count up for ever
  abort_pipes(extension);
  release_pending(extension);  // this request's count
  release_pending(extension);  // the device's own count
  // Every transfer gives its count back only once the bus has returned its request.
  KeWaitForSingleObject(&extension->remove_event, Executive, KernelMode, FALSE, nullptr);
  IoFreeIrp(extension->abort_request);
  extension->abort_request = nullptr;
  if (extension->device_descriptor != nullptr) free_pool(extension->device_descriptor);
  extension->device_descriptor = nullptr;
  if (extension->interface_information != nullptr) free_pool(extension->interface_information);
  extension->interface_information = nullptr;
  if (extension->link_present == 1) {
    UNICODE_STRING link_name;
    RtlInitUnicodeString(&link_name, extension->link_name);
    IoDeleteSymbolicLink(&link_name);
    extension->link_present = 0;
  }
  irp->IoStatus.Status = STATUS_SUCCESS;
  PDEVICE_OBJECT lower = extension->lower_device_object;
  NTSTATUS status = pass_down(extension, irp);
  IoDetachDevice(lower);
  IoDeleteDevice(device);
  return status;
}

}  // namespace

namespace kvusb {

NTSTATUS pass_down_and_wait(DeviceExtension* extension, PIRP irp) {
  KEVENT event;
  KeInitializeEvent(&event, NotificationEvent, FALSE);
  IoCopyCurrentIrpStackLocationToNext(irp);
  IoSetCompletionRoutine(irp, signal_completion, &event, TRUE, TRUE, TRUE);
  NTSTATUS status = IoCallDriver(extension->lower_device_object, irp);
  if (status == STATUS_PENDING) {
    KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    status = irp->IoStatus.Status;
  }
  return status;
}

}  // namespace kvusb

NTSTATUS NTAPI kvusb_pnp(PDEVICE_OBJECT device, PIRP irp) {
  DeviceExtension* extension = extension_of(device);
  if (!NT_SUCCESS(acquire_pending(extension))) return complete_request(irp, STATUS_DELETE_PENDING, 0);
  NTSTATUS status;
  switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
    case IRP_MN_START_DEVICE:
      status = start_device(extension, irp);
      break;
    case IRP_MN_QUERY_CAPABILITIES:
      status = query_capabilities(extension, irp);
      break;
    case IRP_MN_QUERY_STOP_DEVICE:
      status = query_stop(extension, irp);
      break;
    case IRP_MN_CANCEL_STOP_DEVICE:
      status = cancel_stop(extension, irp);
      break;
    case IRP_MN_STOP_DEVICE:
      status = stop_device(extension, irp);
      break;
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
      status = succeed_and_pass_down(extension, irp);
      break;
    case IRP_MN_SURPRISE_REMOVAL:
      status = surprise_removal(extension, irp);
      break;
    case IRP_MN_REMOVE_DEVICE:
      return remove_device(device, extension, irp);  // the counter is gone with the device
    default:
      status = pass_down(extension, irp);
      break;
  }
  release_pending(extension);
  return status;
}

// Instrumentation requests are not the driver's: they go down as they came.
NTSTATUS NTAPI kvusb_system_control(PDEVICE_OBJECT device, PIRP irp) {
  DeviceExtension* extension = extension_of(device);
  if (!NT_SUCCESS(acquire_pending(extension))) return complete_request(irp, STATUS_DELETE_PENDING, 0);
  NTSTATUS status = pass_down(extension, irp);
  release_pending(extension);
  return status;
}

NTSTATUS NTAPI kvusb_power(PDEVICE_OBJECT device, PIRP irp) {
  DeviceExtension* extension = extension_of(device);
  if (!NT_SUCCESS(acquire_pending(extension))) {
    PoStartNextPowerIrp(irp);  // else the power manager would wait for this request for ever
    return complete_request(irp, STATUS_DELETE_PENDING, 0);
  }
  IoCopyCurrentIrpStackLocationToNext(irp);
  PoStartNextPowerIrp(irp);
  NTSTATUS status = PoCallDriver(extension->lower_device_object, irp);
  release_pending(extension);
  return status;
}
