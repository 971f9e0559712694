// The USB driver interface library's two helpers the driver uses: finding an interface in a
// configuration descriptor and building a select-configuration request block for an interface list.
#include <cstdlib>

#include "state.h"

extern "C" PUSB_INTERFACE_DESCRIPTOR NTAPI USBD_ParseConfigurationDescriptorEx(
    PUSB_CONFIGURATION_DESCRIPTOR configuration, PVOID start, LONG number, LONG setting, LONG interface_class,
    LONG subclass, LONG protocol) {
  emu::detail::require_irql(APC_LEVEL, "USBD_ParseConfigurationDescriptorEx");
  auto* base = reinterpret_cast<PUCHAR>(configuration);
  PUCHAR end = base + configuration->wTotalLength;
  auto matches = [](LONG wanted, UCHAR value) { return wanted == -1 || wanted == value; };
  for (PUCHAR p = static_cast<PUCHAR>(start); p + 2 <= end;) {
    auto* common = reinterpret_cast<PUSB_COMMON_DESCRIPTOR>(p);
    if (common->bLength == 0) break;  // a broken descriptor would loop for ever
    if (common->bDescriptorType == USB_INTERFACE_DESCRIPTOR_TYPE && p + sizeof(USB_INTERFACE_DESCRIPTOR) <= end) {
      auto* interface = reinterpret_cast<PUSB_INTERFACE_DESCRIPTOR>(p);
      if (matches(number, interface->bInterfaceNumber) && matches(setting, interface->bAlternateSetting) &&
          matches(interface_class, interface->bInterfaceClass) && matches(subclass, interface->bInterfaceSubClass) &&
          matches(protocol, interface->bInterfaceProtocol))
        return interface;
    }
    p += common->bLength;
  }
  return nullptr;
}

extern "C" PURB NTAPI USBD_CreateConfigurationRequestEx(PUSB_CONFIGURATION_DESCRIPTOR configuration,
                                                        PUSBD_INTERFACE_LIST_ENTRY list) {
  emu::detail::require_irql(APC_LEVEL, "USBD_CreateConfigurationRequestEx");
  size_t size = sizeof(struct _URB_SELECT_CONFIGURATION) - sizeof(USBD_INTERFACE_INFORMATION);
  for (auto* entry = list; entry->InterfaceDescriptor != nullptr; ++entry)
    size += GET_USBD_INTERFACE_SIZE(entry->InterfaceDescriptor->bNumEndpoints);
  const ULONG usbd_tag = 'U' | ('S' << 8) | ('B' << 16) | ('D' << 24);
  auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPoolNx, size, usbd_tag));
  if (urb == nullptr) return nullptr;
  std::memset(urb, 0, size);
  urb->UrbHeader.Function = URB_FUNCTION_SELECT_CONFIGURATION;
  urb->UrbHeader.Length = static_cast<USHORT>(size);
  urb->UrbSelectConfiguration.ConfigurationDescriptor = configuration;
  auto* interface = &urb->UrbSelectConfiguration.Interface;
  for (auto* entry = list; entry->InterfaceDescriptor != nullptr; ++entry) {
    UCHAR pipes = entry->InterfaceDescriptor->bNumEndpoints;
    interface->Length = static_cast<USHORT>(GET_USBD_INTERFACE_SIZE(pipes));
    interface->InterfaceNumber = entry->InterfaceDescriptor->bInterfaceNumber;
    interface->AlternateSetting = entry->InterfaceDescriptor->bAlternateSetting;
    interface->NumberOfPipes = pipes;
    for (UCHAR i = 0; i < pipes; ++i) interface->Pipes[i].MaximumTransferSize = USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE;
    entry->Interface = interface;
    interface = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(reinterpret_cast<PUCHAR>(interface) + interface->Length);
  }
  return urb;
}
