// What the simulated bus keeps per port: the device model and the PDO of its current enumeration.
#pragma once

#include "kernel_emulation/usb_bus.h"

namespace emu {

struct UsbBus::Pipe {
  UCHAR endpoint;
  UCHAR attributes;
  USHORT max_packet;
  UCHAR interval;
};

struct UsbBus::Port {
  int index = 0;
  std::shared_ptr<UsbFunction> function;
  PDEVICE_OBJECT pdo = nullptr;
  NTSTATUS add_status = STATUS_SUCCESS;
  NTSTATUS start_status = STATUS_SUCCESS;
  int enumerations = 0;
  bool configured = false;
  std::vector<std::unique_ptr<Pipe>> pipes;  // pipes of the selected configuration; handles point here
  int configuration_token = 0;               // its address is the configuration handle
  int interface_token = 0;                   // its address is the interface handle
  bool gone = false;                         // surprise-removed: transfers fail as on an empty port
  std::vector<PIRP> parked;                  // bulk INs the endpoint NAKed; guarded by the bus mutex
};

// A parked request belongs to whoever clears its cancel routine: the bus when it takes the request
// off the list, or IoCancelIrp, whose cancel routine then ends it. Both run under the bus mutex.
inline bool claim_parked(PIRP irp) { return IoSetCancelRoutine(irp, nullptr) != nullptr; }

// Arms the cancel routine of a request staying parked. False when it was cancelled meanwhile and the
// cancel routine will not run: the caller ends it.
inline bool arm_parked(PIRP irp, PDRIVER_CANCEL cancel) {
  IoSetCancelRoutine(irp, cancel);
  return !__atomic_load_n(&irp->Cancel, __ATOMIC_ACQUIRE) || !claim_parked(irp);
}

}  // namespace emu
