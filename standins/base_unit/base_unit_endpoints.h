// The simulated base unit behind the running controller's bulk pipes on the emulated USB bus:
// commands in the format of unit_wire.h arrive on 0x02, their answers wait for reads on 0x82.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>

#include "kernel_emulation/simulated_controller.h"
#include "standins/base_unit/simulated_base_unit.h"

namespace zetra::standins {

class BaseUnitEndpoints final : public emu::BulkEndpoints {
 public:
  explicit BaseUnitEndpoints(SimulatedBaseUnit& unit) : unit_(unit) {}

  // A packet that is not a command stalls the pipe and changes nothing.
  USBD_STATUS out(const uint8_t* data, size_t length) override;
  // Hands over as much of the waiting answer as fits, possibly nothing.
  USBD_STATUS in(uint8_t* data, size_t capacity, size_t* transferred) override;

  size_t answer_waiting() const;

 private:
  mutable std::mutex mutex_;  // guards unit_ and answer_: the bus may call from a worker thread
  SimulatedBaseUnit& unit_;
  std::deque<uint8_t> answer_;
};

}  // namespace zetra::standins
