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

}  // namespace emu
