// Driver entry and its dispatch table, device creation with the links KVUSB-1 to KVUSB-4, and the
// create, cleanup, close and unload requests.
#include "kvusb.h"

using namespace kvusb;

namespace {

const WCHAR kDeviceNamePrefix[] = KVUSB_WIDE("\\Device\\KVUSB-D");
const WCHAR kLinkNameTemplate[] = KVUSB_WIDE("\\DosDevices\\KVUSB-0");

// Numbers the device objects' names. A handle kept across a removal keeps its device object, and
// with it the object's name, alive: a unit number in that name would stay blocked until the handle
// is closed, and the unit plugged in again would get the next number. So the device object's name
// is never reused while the driver is loaded, and only the symbolic link carries KVUSB-n.
// Plain zero-initialised data: no constructor would run in a driver.
LONG g_device_serial;

// Copies a NUL-terminated name and puts the unit digit in place of its last character.
void make_unit_name(WCHAR* destination, const WCHAR* name_template, int unit) {
  int i = 0;
  for (; name_template[i] != 0; ++i) destination[i] = name_template[i];
  destination[i - 1] = static_cast<WCHAR>('0' + unit);
  destination[i] = 0;
}

// The prefix followed by the serial number in decimal.
void make_device_name(WCHAR* destination, ULONG serial) {
  int i = 0;
  for (; kDeviceNamePrefix[i] != 0; ++i) destination[i] = kDeviceNamePrefix[i];
  WCHAR digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<WCHAR>('0' + serial % 10);
    serial /= 10;
  } while (serial != 0);
  while (count > 0) destination[i++] = digits[--count];
  destination[i] = 0;
}

void copy_name(WCHAR* destination, const WCHAR* source, int capacity) {
  int i = 0;
  for (; source[i] != 0 && i < capacity - 1; ++i) destination[i] = source[i];
  destination[i] = 0;
}

void initialise_extension(DeviceExtension* extension, const WCHAR* device_name, const WCHAR* link_name) {
  copy_name(extension->device_name, device_name, kDeviceNameUnits);
  copy_name(extension->link_name, link_name, kLinkNameUnits);
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
  extension->abort_request = nullptr;
  InitializeListHead(&extension->transfers);
  KeInitializeSpinLock(&extension->lock);
}

NTSTATUS create_device_object(PDRIVER_OBJECT driver, WCHAR* name_buffer, PDEVICE_OBJECT* device) {
  NTSTATUS status = STATUS_OBJECT_NAME_COLLISION;
  for (int attempt = 0; attempt < 8 && status == STATUS_OBJECT_NAME_COLLISION; ++attempt) {
    make_device_name(name_buffer, static_cast<ULONG>(InterlockedIncrement(&g_device_serial)));
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, name_buffer);
    // Secure open: the device's security descriptor also guards names opened below it.
    status = IoCreateDevice(driver, sizeof(DeviceExtension), &name, FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN,
                            FALSE, device);
  }
  return status;
}

// A device object, and the first unit number whose symbolic link is free.
NTSTATUS create_unit_device(PDRIVER_OBJECT driver, PDEVICE_OBJECT* result) {
  WCHAR device_buffer[kDeviceNameUnits];
  PDEVICE_OBJECT device = nullptr;
  NTSTATUS status = create_device_object(driver, device_buffer, &device);
  if (!NT_SUCCESS(status)) return status;
  UNICODE_STRING device_name;
  RtlInitUnicodeString(&device_name, device_buffer);
  for (int unit = 1; unit <= kMaxUnits; ++unit) {
    WCHAR link_buffer[sizeof(kLinkNameTemplate) / sizeof(WCHAR)];
    make_unit_name(link_buffer, kLinkNameTemplate, unit);
    UNICODE_STRING link_name;
    RtlInitUnicodeString(&link_name, link_buffer);
    status = IoCreateSymbolicLink(&link_name, &device_name);
    if (NT_SUCCESS(status)) {
      initialise_extension(extension_of(device), device_buffer, link_buffer);
      *result = device;
      return STATUS_SUCCESS;
    }
  }
  IoDeleteDevice(device);  // else it would stay behind, a device nobody can open
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
  driver->MajorFunction[IRP_MJ_CLEANUP] = kvusb_cleanup;
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
  // Removal aborts the pipes with this request; it must not depend on pool when it comes.
  extension->abort_request = IoAllocateIrp(extension->lower_device_object->StackSize, FALSE);
  if (extension->abort_request == nullptr) {
    delete_link(extension);
    IoDetachDevice(extension->lower_device_object);
    IoDeleteDevice(device);
    return STATUS_NO_MEMORY;
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

// The last handle to a file object is closed (or its process ends): its transfers end now, so that
// a read the unit never answers does not hold the program. The close follows once they are done.
NTSTATUS NTAPI kvusb_cleanup(PDEVICE_OBJECT device, PIRP irp) {
  cancel_transfers(extension_of(device), IoGetCurrentIrpStackLocation(irp)->FileObject);
  return complete_request(irp, STATUS_SUCCESS, 0);
}

NTSTATUS NTAPI kvusb_close(PDEVICE_OBJECT device, PIRP irp) {
  InterlockedDecrement(&extension_of(device)->open_count);
  return complete_request(irp, STATUS_SUCCESS, 0);
}

VOID NTAPI kvusb_unload(PDRIVER_OBJECT driver) { (void)driver; }
