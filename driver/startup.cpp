// Start-up of a unit: device descriptor, configuration of its first interface, and the firmware
// download into a bare controller.
#include "firmware_image.h"
#include "kvusb.h"

namespace kvusb {

namespace {

PVOID allocate_zeroed(SIZE_T size) {
  PVOID block = ExAllocatePoolWithTag(kPoolType, size, kPoolTag);
  if (block != nullptr) RtlZeroMemory(block, size);  // a short read then leaves zeros, not pool garbage
  return block;
}

// Selects the configuration with its first interface and keeps a copy of what the stack returned.
NTSTATUS select_first_interface(DeviceExtension* extension, PUSB_CONFIGURATION_DESCRIPTOR configuration) {
  PUSB_INTERFACE_DESCRIPTOR first_interface =
      USBD_ParseConfigurationDescriptorEx(configuration, configuration, -1, -1, -1, -1, -1);
  if (first_interface == nullptr) return STATUS_UNSUCCESSFUL;
  USBD_INTERFACE_LIST_ENTRY list[2] = {{first_interface, nullptr}, {nullptr, nullptr}};
  PURB urb = USBD_CreateConfigurationRequestEx(configuration, list);
  if (urb == nullptr) return STATUS_NO_MEMORY;
  PUSBD_INTERFACE_INFORMATION selected = list[0].Interface;
  for (ULONG i = 0; i < selected->NumberOfPipes; ++i) selected->Pipes[i].MaximumTransferSize = kMaximumTransferSize;
  NTSTATUS status = submit_and_wait(extension, urb);
  if (NT_SUCCESS(status)) {
    auto* copy = static_cast<PUSBD_INTERFACE_INFORMATION>(ExAllocatePoolWithTag(kPoolType, selected->Length, kPoolTag));
    if (copy == nullptr) {
      status = STATUS_NO_MEMORY;
    } else {
      RtlCopyMemory(copy, selected, selected->Length);
      // A start after a stop replaces the copy of the earlier configuration.
      if (extension->interface_information != nullptr) free_pool(extension->interface_information);
      extension->interface_information = copy;
      extension->configuration_handle = urb->UrbSelectConfiguration.ConfigurationHandle;
    }
  }
  ExFreePool(urb);  // allocated by the interface library under its own tag
  return status;
}

// A unit's answers are checked before anything is parsed: a descriptor that claims more than was
// received, or lengths that disagree, would make the parser read past the buffer.
bool valid_device_descriptor(const USB_DEVICE_DESCRIPTOR* descriptor, ULONG received) {
  return received == sizeof(USB_DEVICE_DESCRIPTOR) && descriptor->bLength == sizeof(USB_DEVICE_DESCRIPTOR) &&
         descriptor->bDescriptorType == USB_DEVICE_DESCRIPTOR_TYPE;
}

bool valid_configuration_head(const USB_CONFIGURATION_DESCRIPTOR* head, ULONG received) {
  return received >= sizeof(USB_CONFIGURATION_DESCRIPTOR) && head->bLength == sizeof(USB_CONFIGURATION_DESCRIPTOR) &&
         head->bDescriptorType == USB_CONFIGURATION_DESCRIPTOR_TYPE &&
         head->wTotalLength >= sizeof(USB_CONFIGURATION_DESCRIPTOR);
}

// Every descriptor in the first `total` bytes has a length that fits; interfaces and endpoints are
// at least their standard size; and the first interface's endpoints are all there.
bool valid_configuration(const USB_CONFIGURATION_DESCRIPTOR* whole, ULONG total) {
  const UCHAR* base = reinterpret_cast<const UCHAR*>(whole);
  ULONG offset = 0;
  LONG endpoints_wanted = -1;  // until the first interface is seen
  while (offset < total) {
    if (total - offset < 2) return false;
    const UCHAR length = base[offset];
    const UCHAR type = base[offset + 1];
    if (length < 2 || length > total - offset) return false;
    if (type == USB_INTERFACE_DESCRIPTOR_TYPE) {
      if (length < sizeof(USB_INTERFACE_DESCRIPTOR)) return false;
      if (endpoints_wanted > 0) return false;  // the first interface lacks endpoints
      if (endpoints_wanted < 0) endpoints_wanted = reinterpret_cast<const USB_INTERFACE_DESCRIPTOR*>(base + offset)->bNumEndpoints;
    } else if (type == USB_ENDPOINT_DESCRIPTOR_TYPE) {
      if (length < sizeof(USB_ENDPOINT_DESCRIPTOR)) return false;
      if (endpoints_wanted > 0) --endpoints_wanted;
    }
    offset += length;
  }
  return endpoints_wanted <= 0;
}

NTSTATUS configure(DeviceExtension* extension) {
  auto* head = static_cast<PUSB_CONFIGURATION_DESCRIPTOR>(allocate_zeroed(25));
  if (head == nullptr) return STATUS_NO_MEMORY;
  ULONG length = sizeof(USB_CONFIGURATION_DESCRIPTOR);
  NTSTATUS status = get_descriptor(extension, USB_CONFIGURATION_DESCRIPTOR_TYPE, head, &length);
  if (NT_SUCCESS(status) && !valid_configuration_head(head, length)) status = STATUS_DEVICE_DATA_ERROR;
  if (!NT_SUCCESS(status)) {
    free_pool(head);
    return status;
  }
  const ULONG total = head->wTotalLength;
  free_pool(head);
  auto* whole = static_cast<PUSB_CONFIGURATION_DESCRIPTOR>(allocate_zeroed(total + 16));
  if (whole == nullptr) return STATUS_NO_MEMORY;
  length = total + 16;
  status = get_descriptor(extension, USB_CONFIGURATION_DESCRIPTOR_TYPE, whole, &length);
  // The second answer must be the whole descriptor the first one announced, and say the same length.
  if (NT_SUCCESS(status) && (length < total || !valid_configuration_head(whole, length) ||
                             whole->wTotalLength != total || !valid_configuration(whole, total)))
    status = STATUS_DEVICE_DATA_ERROR;
  if (NT_SUCCESS(status)) status = select_first_interface(extension, whole);
  free_pool(whole);
  return status;
}

NTSTATUS write_controller(DeviceExtension* extension, PURB urb, PUCHAR buffer, USHORT address, const UCHAR* data,
                          ULONG length) {
  const USHORT size = sizeof(struct _URB_CONTROL_VENDOR_OR_CLASS_REQUEST);
  if (length > 16) return STATUS_INVALID_PARAMETER;
  RtlCopyMemory(buffer, data, length);
  RtlZeroMemory(urb, size);
  // Direction out, short transfers not allowed: no transfer flags.
  UsbBuildVendorRequest(urb, URB_FUNCTION_VENDOR_DEVICE, size, 0, 0, kFirmwareLoadRequest, address, 0, buffer,
                        nullptr, length, nullptr);
  return submit_and_wait(extension, urb);
}

}  // namespace

NTSTATUS download_firmware(DeviceExtension* extension) {
  auto urb = static_cast<PURB>(allocate_zeroed(sizeof(struct _URB_CONTROL_VENDOR_OR_CLASS_REQUEST)));
  auto buffer = static_cast<PUCHAR>(allocate_zeroed(16));
  NTSTATUS status = STATUS_NO_MEMORY;
  if (urb != nullptr && buffer != nullptr) {
    const UCHAR hold = 1;
    const UCHAR run = 0;
    status = write_controller(extension, urb, buffer, kCpuControlRegister, &hold, 1);
    for (const FirmwareRecord* record = kFirmwareImage;
         NT_SUCCESS(status) && record->type == kFirmwareDataRecord; ++record)
      status = write_controller(extension, urb, buffer, record->address, record->data, record->length & 0xFF);
    // A failed record leaves the CPU held: a half-loaded program must not run.
    if (NT_SUCCESS(status)) status = write_controller(extension, urb, buffer, kCpuControlRegister, &run, 1);
  }
  if (buffer != nullptr) free_pool(buffer);
  if (urb != nullptr) free_pool(urb);
  return status;
}

NTSTATUS start_unit(DeviceExtension* extension) {
  // A start after a stop reads the descriptor again; the earlier copy goes.
  if (extension->device_descriptor != nullptr) free_pool(extension->device_descriptor);
  extension->device_descriptor = nullptr;
  auto* descriptor = static_cast<PUSB_DEVICE_DESCRIPTOR>(allocate_zeroed(sizeof(USB_DEVICE_DESCRIPTOR)));
  if (descriptor == nullptr) return STATUS_NO_MEMORY;
  ULONG length = sizeof(USB_DEVICE_DESCRIPTOR);
  NTSTATUS status = get_descriptor(extension, USB_DEVICE_DESCRIPTOR_TYPE, descriptor, &length);
  if (NT_SUCCESS(status) && !valid_device_descriptor(descriptor, length)) status = STATUS_DEVICE_DATA_ERROR;
  if (!NT_SUCCESS(status)) {
    free_pool(descriptor);
    return status;
  }
  extension->device_descriptor = descriptor;
  status = configure(extension);
  // A bare controller has no manufacturer string; the download's outcome does not change the start.
  if (NT_SUCCESS(status) && descriptor->iManufacturer == 0) download_firmware(extension);
  return status;
}

}  // namespace kvusb
