// Test glue for the library-through-driver path: the simulated base unit behind the running
// unit's bulk pipes, and the device-library side driving KVUSB-n with the control codes.
//
// Wire format on the bulk pipes (8-byte commands on 0x02, answers on 0x82):
//   byte 0 command: 1 status (answer 1 byte), 2 configure (byte 3), 3 write word (address in
//   byte 1, value in bytes 4..7 little-endian), 4 read block (address byte 1, count byte 2;
//   answer count 32-bit words little-endian).
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "kernel_emulation/emulation.h"
#include "kernel_emulation/simulated_controller.h"
#include "standins/base_unit/simulated_base_unit.h"

namespace kvusb_test {

enum class UnitCommand : uint8_t { kStatus = 1, kConfigure = 2, kWriteWord = 3, kReadBlock = 4 };

class BaseUnitEndpoints : public emu::BulkEndpoints {
 public:
  explicit BaseUnitEndpoints(zetra::standins::SimulatedBaseUnit& unit) : unit_(unit) {}
  USBD_STATUS out(const uint8_t* data, size_t length) override;
  USBD_STATUS in(uint8_t* data, size_t capacity, size_t* transferred) override;

 private:
  std::mutex mutex_;  // guards unit_ and answer_
  zetra::standins::SimulatedBaseUnit& unit_;
  std::deque<uint8_t> answer_;
};

// The calls the recorder makes of the device library, over the driver's control interface.
class DriverTransport {
 public:
  bool open(int unit);
  void close();
  bool status(uint8_t* status);
  bool configure(uint8_t config);
  bool write_word(uint8_t address, int32_t value);
  bool read_block(uint8_t address, uint8_t count, int32_t* words);

 private:
  bool command(UnitCommand command, uint8_t address, uint8_t count, uint8_t config, int32_t value);
  bool answer(uint8_t* data, ULONG length);
  emu::UserHandle* handle_ = nullptr;
};

}  // namespace kvusb_test
