// kvusb: the base unit's USB function driver. Device extension, control codes, and the routines
// the dispatch files share.
#pragma once

#include "kernel.h"

namespace kvusb {

// Pool tag "Wdm " as it reads in a pool dump (first character in the lowest byte).
constexpr ULONG kPoolTag = 'W' | ('d' << 8) | ('m' << 16) | (' ' << 24);
// Data only: no-execute pool where the system has it (x64, Windows 8 and later).
#if defined(KVUSB_WINDOWS_KERNEL) && !defined(_WIN64)
constexpr POOL_TYPE kPoolType = NonPagedPool;
#else
constexpr POOL_TYPE kPoolType = NonPagedPoolNx;
#endif
constexpr int kMaxUnits = 4;
constexpr int kLinkNameUnits = 256;
constexpr int kDeviceNameUnits = 32;
constexpr ULONG kMaximumTransferSize = 65535;
constexpr USHORT kCpuControlRegister = 0x7F92;  // the controller's CPU control and status register
constexpr UCHAR kFirmwareLoadRequest = 0xA0;

constexpr ULONG kIoctlResetPipe = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x800, METHOD_IN_DIRECT, FILE_ANY_ACCESS);
constexpr ULONG kIoctlAbortPipe = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x801, METHOD_IN_DIRECT, FILE_ANY_ACCESS);
constexpr ULONG kIoctlGetFrameNumber = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x802, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr ULONG kIoctlGetInterfaceInformation = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x803, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr ULONG kIoctlGetDeviceDescriptor = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x804, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr ULONG kIoctlTransferOutDirect = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x805, METHOD_OUT_DIRECT, FILE_ANY_ACCESS);
constexpr ULONG kIoctlTransferInDirect = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x806, METHOD_IN_DIRECT, FILE_ANY_ACCESS);
static_assert(kIoctlResetPipe == 0x222001 && kIoctlAbortPipe == 0x222005 && kIoctlGetFrameNumber == 0x222008);
static_assert(kIoctlGetInterfaceInformation == 0x22200C && kIoctlGetDeviceDescriptor == 0x222010);
static_assert(kIoctlTransferOutDirect == 0x222016 && kIoctlTransferInDirect == 0x222019);

// One per unit; the order of the fields is the one the unit's tools have always seen.
struct DeviceExtension {
  PDEVICE_OBJECT physical_device_object;  // the bus driver's device handed to add-device
  PDEVICE_OBJECT lower_device_object;     // what attaching returned; every request passed down goes here
  UCHAR link_present;                     // 1 once the symbolic link exists; removal deletes it only then
  USBD_CONFIGURATION_HANDLE configuration_handle;
  PUSB_DEVICE_DESCRIPTOR device_descriptor;            // copy read at start; null when the read failed
  PUSBD_INTERFACE_INFORMATION interface_information;   // copy from select-configuration; null until configured
  LONG open_count;                                     // create adds 1, close subtracts 1; nothing reads it
  WCHAR link_name[kLinkNameUnits];                     // NUL-terminated, kept for deletion
  USBD_STATUS last_urb_error;                          // status of the last request block that failed
  LONG pending_count;  // requests in progress plus 1 for the device itself; guarded by lock
  KSPIN_LOCK lock;     // guards pending_count and removing
  KEVENT remove_event; // signalled when pending_count reaches 0
  UCHAR removing;      // set by the remove request; from then on new requests are refused; guarded by lock
  UCHAR gone;          // surprise-removed: creates and control requests are refused; guarded by lock
  UCHAR aborting;      // surprise removal or remove began: no new transfer reaches the bus; guarded by lock
  UCHAR held;          // between a granted query-stop and the next start or cancel-stop; guarded by lock
  LONG active_requests;  // control requests past the held check; query-stop is refused while any are; guarded by lock
  // What removal and surprise removal send, made at add-device: they must not depend on pool.
  URB abort_urb;
  PIRP abort_request;
  LIST_ENTRY transfers;  // transfers in flight (transfer.cpp); guarded by lock
  WCHAR device_name[kDeviceNameUnits];  // the device object's own name, never a unit number
};

// A 32-bit program on a 64-bit system gets the 32-bit layouts; on 32-bit Windows every caller is one.
inline bool caller_is_32bit(PIRP irp) {
#if defined(KVUSB_WINDOWS_KERNEL) && !defined(_WIN64)
  (void)irp;
  return true;
#else
  return IoIs32bitProcess(irp) != FALSE;
#endif
}

inline DeviceExtension* extension_of(PDEVICE_OBJECT device) {
  return static_cast<DeviceExtension*>(device->DeviceExtension);
}

// Pending-request counter (pending.cpp).
NTSTATUS acquire_pending(DeviceExtension* extension);
void release_pending(DeviceExtension* extension);
// Control requests across stop and surprise removal (pending.cpp).
NTSTATUS begin_control_request(DeviceExtension* extension);
void end_control_request(DeviceExtension* extension);
NTSTATUS hold_control_requests(DeviceExtension* extension);
void resume_control_requests(DeviceExtension* extension);
// Removal began (surprise removal: the unit is gone, too): no new transfer reaches the bus.
void stop_transfers(DeviceExtension* extension, bool gone);

// Request blocks and the USB stack (usb_requests.cpp).
NTSTATUS submit_and_wait(DeviceExtension* extension, PURB urb);
// Ends every transfer the bus holds for the unit, with the request made at add-device.
void abort_pipes(DeviceExtension* extension);
PURB allocate_urb(SIZE_T size);
void free_pool(PVOID block);
NTSTATUS get_descriptor(DeviceExtension* extension, UCHAR type, PVOID buffer, ULONG* length);
NTSTATUS unconfigure(DeviceExtension* extension);

// Transfers for callers' requests (transfer.cpp). start_transfer pends the request and returns
// STATUS_PENDING, taking over its counts, or returns why it could not start (nothing pended).
NTSTATUS start_transfer(DeviceExtension* extension, PIRP irp, ULONG code, ULONG input_length, ULONG output_length,
                        const UCHAR* input);
// Cancels the transfers of one handle (its cleanup) or, with null, every one (removal).
void cancel_transfers(DeviceExtension* extension, PFILE_OBJECT file);

// The interface information as a caller of 0x22200C reads it (interface_layout.cpp).
ULONG interface_layout_length(ULONG pipes, bool narrow);
void write_interface_layout(PUCHAR out, const USBD_INTERFACE_INFORMATION* information, bool narrow);

// Start-up of a unit (startup.cpp).
NTSTATUS start_unit(DeviceExtension* extension);
NTSTATUS download_firmware(DeviceExtension* extension);

// Passing a request down and waiting for it (pnp.cpp).
NTSTATUS pass_down_and_wait(DeviceExtension* extension, PIRP irp);
NTSTATUS complete_request(PIRP irp, NTSTATUS status, ULONG_PTR information);

}  // namespace kvusb

extern "C" {
DRIVER_INITIALIZE DriverEntry;
}
NTSTATUS NTAPI kvusb_add_device(PDRIVER_OBJECT driver, PDEVICE_OBJECT physical_device_object);
NTSTATUS NTAPI kvusb_create(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS NTAPI kvusb_close(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS NTAPI kvusb_cleanup(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS NTAPI kvusb_pnp(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS NTAPI kvusb_power(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS NTAPI kvusb_system_control(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS NTAPI kvusb_device_control(PDEVICE_OBJECT device, PIRP irp);
VOID NTAPI kvusb_unload(PDRIVER_OBJECT driver);
