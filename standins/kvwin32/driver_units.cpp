// The units of the library built for the driver path: each one is the device KVUSB-n.
#include "standins/kvwin32/driver_unit.h"

namespace zetra::standins {

std::unique_ptr<Unit> make_unit(uint8_t device) {
  return std::make_unique<DriverUnit>(device, system_device_io());
}

}  // namespace zetra::standins
