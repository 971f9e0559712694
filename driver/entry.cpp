// Driver entry and its dispatch table, device creation under the names KVUSB-1 to KVUSB-4, and
// the create, close and unload requests.
#include "kvusb.h"

using namespace kvusb;

namespace {

const WCHAR kDeviceNameTemplate[] = KVUSB_WIDE("\\Device\\KVUSB-0");
const WCHAR kLinkNameTemplate[] = KVUSB_WIDE("\\DosDevices\\KVUSB-0");

// Copies a NUL-terminated name and puts the unit digit in place of its last character.
void make_unit_name(WCHAR* destination, const WCHAR* name_template, int unit) {
  int i = 0;
  for (; name_template[i] != 0; ++i) destination[i] = name_template[i];
  destination[i - 1] = static_cast<WCHAR>('0' + unit);
  destination[i] = 0;
}

void initialise_extension(DeviceExtension* extension, const WCHAR* link_name) {
  int i = 0;
  for (; link_name[i] != 0 && i < kLinkNameUnits - 1; ++i) extension->link_name[i] = link_name[i];
  extension->link_name[i] = 0;
  extension->open_count = 0;
  extension->configuration_handle = nullptr;
  extension->device_descriptor = nullptr;
  extension->interface_information = nullptr;
  extension->link_present = 1;
  extension->removing = 0;
  extension->gone = 0;
  extension->aborting = 0;
  extension->held = 0;
  extension->active_requests = 0;
  KeInitializeSpinLock(&extension->lock);
}

// Takes the first unit number whose device name and link are both free.
NTSTATUS create_unit_device(PDRIVER_OBJECT driver, PDEVICE_OBJECT* result) {
  NTSTATUS status = STATUS_UNSUCCESSFUL;
  for (int unit = 1; unit <= kMaxUnits; ++unit) {
    WCHAR device_buffer[sizeof(kDeviceNameTemplate) / sizeof(WCHAR)];
    WCHAR link_buffer[sizeof(kLinkNameTemplate) / sizeof(WCHAR)];
    make_unit_name(device_buffer, kDeviceNameTemplate, unit);
    make_unit_name(link_buffer, kLinkNameTemplate, unit);
    UNICODE_STRING device_name;
    UNICODE_STRING link_name;
    RtlInitUnicodeString(&device_name, device_buffer);
    RtlInitUnicodeString(&link_name, link_buffer);
    PDEVICE_OBJECT device = nullptr;
    // Secure open: the device's security descriptor also guards names opened below it.
    status = IoCreateDevice(driver, sizeof(DeviceExtension), &device_name, FILE_DEVICE_UNKNOWN,
                            FILE_DEVICE_SECURE_OPEN, FALSE, &device);
    if (!NT_SUCCESS(status)) continue;
    status = IoCreateSymbolicLink(&link_name, &device_name);
    if (!NT_SUCCESS(status)) {
      IoDeleteDevice(device);  // else a unit number would stay blocked by a device nobody can open
      continue;
    }
    initialise_extension(extension_of(device), link_buffer);
    *result = device;
    return STATUS_SUCCESS;
  }
  return status;
}

void delete_link(DeviceExtension* extension) {
  UNICODE_STRING link_name;
  RtlInitUnicodeString(&link_name, extension->link_name);
  IoDeleteSymbolicLink(&link_name);
  extension->link_present = 0;
}

}  // namespace

namespace kvusb {

NTSTATUS complete_request(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

}  // namespace kvusb

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path) {
  (void)registry_path;
  driver->MajorFunction[IRP_MJ_CREATE] = kvusb_create;
  driver->MajorFunction[IRP_MJ_CLOSE] = kvusb_close;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = kvusb_device_control;
  driver->MajorFunction[IRP_MJ_PNP] = kvusb_pnp;
  driver->MajorFunction[IRP_MJ_POWER] = kvusb_power;
  driver->MajorFunction[IRP_MJ_SYSTEM_CONTROL] = kvusb_system_control;
  driver->DriverExtension->AddDevice = kvusb_add_device;
  driver->DriverUnload = kvusb_unload;
  return STATUS_SUCCESS;
}

NTSTATUS NTAPI kvusb_add_device(PDRIVER_OBJECT driver, PDEVICE_OBJECT physical_device_object) {
  PDEVICE_OBJECT device = nullptr;
  NTSTATUS status = create_unit_device(driver, &device);
  if (!NT_SUCCESS(status)) return status;
  DeviceExtension* extension = extension_of(device);
  extension->physical_device_object = physical_device_object;
  extension->lower_device_object = IoAttachDeviceToDeviceStack(device, physical_device_object);
  if (extension->lower_device_object == nullptr) {
    delete_link(extension);
    IoDeleteDevice(device);
    return STATUS_NO_SUCH_DEVICE;
  }
  extension->last_urb_error = 0;
  extension->pending_count = 1;
  KeInitializeEvent(&extension->remove_event, NotificationEvent, FALSE);
  device->Flags |= DO_DIRECT_IO | DO_POWER_PAGABLE;
  device->Flags &= ~DO_DEVICE_INITIALIZING;
  return STATUS_SUCCESS;
}

NTSTATUS NTAPI kvusb_create(PDEVICE_OBJECT device, PIRP irp) {
  DeviceExtension* extension = extension_of(device);
  KIRQL irql;
  KeAcquireSpinLock(&extension->lock, &irql);
  bool refused = extension->gone || extension->removing;  // a unit that left takes no new handles
  KeReleaseSpinLock(&extension->lock, irql);
  if (refused) return complete_request(irp, STATUS_DELETE_PENDING, 0);
  InterlockedIncrement(&extension->open_count);
  return complete_request(irp, STATUS_SUCCESS, 0);
}

NTSTATUS NTAPI kvusb_close(PDEVICE_OBJECT device, PIRP irp) {
  InterlockedDecrement(&extension_of(device)->open_count);
  return complete_request(irp, STATUS_SUCCESS, 0);
}

VOID NTAPI kvusb_unload(PDRIVER_OBJECT driver) { (void)driver; }
