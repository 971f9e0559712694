// The serial ports Windows knows of, from two sources that each may miss some: the registry's
// list of serial devices (names only) and the device manager's Ports class (with descriptions).
#pragma once

#include <string>
#include <vector>

#include "platform/serial_port.h"

namespace zetra::platform {

// Both lists merged: each port once, with the first non-empty description given for it, in the
// order COM1, COM2, ..., COM10, then other names alphabetically.
std::vector<PortInfo> merge_port_lists(const std::vector<PortInfo>& registry,
                                       const std::vector<PortInfo>& devices);

// The ports the running system lists now.
std::vector<PortInfo> system_serial_ports();

}  // namespace zetra::platform
