// A base unit reached through the kvusb driver: the device KVUSB-n, commands written to bulk pipe
// 0x02 and answers read from bulk pipe 0x82 with the driver's transfer control codes.
#pragma once

#include <cstdint>

#include "standins/base_unit/unit_wire.h"
#include "standins/kvwin32/device_io.h"
#include "standins/kvwin32/unit.h"

namespace zetra::standins {

// The driver's two transfer codes (device type 0x22, functions 0x805 and 0x806). The direction
// follows the pipe, not the code; the library takes the code whose buffer handling fits: the
// driver writes into the caller's buffer for 0x222016 (out-direct) and only reads it for 0x222019.
inline constexpr uint32_t kTransferIntoCaller = 0x222016;  // reads of the in pipe
inline constexpr uint32_t kTransferFromCaller = 0x222019;  // commands on the out pipe
// Pipe indices of the unit's interface while it runs its firmware.
inline constexpr uint8_t kPipeIn = 0;   // bulk 0x82
inline constexpr uint8_t kPipeOut = 1;  // bulk 0x02

class DriverUnit final : public Unit {
 public:
  DriverUnit(uint8_t device, DeviceIo& io) : device_(device), io_(io) {}
  ~DriverUnit() override { close(); }
  DriverUnit(const DriverUnit&) = delete;
  DriverUnit& operator=(const DriverUnit&) = delete;

  bool open() override;  // opens "\\.\KVUSB-<device>"
  void close() override;
  bool is_open() const override { return handle_ != nullptr; }

  bool status(uint8_t& status) override;
  bool configure(uint8_t config) override;
  bool write_word(uint8_t address, int32_t value) override;
  bool read_word(uint8_t address, int32_t& value) override;
  bool read_block(uint8_t address, uint8_t count, int32_t* words) override;

 private:
  // Sends the command and reads its whole answer into `answer`. After a failure, whatever is
  // left of the answer is drained from the in pipe so that the next exchange lines up.
  bool exchange(const UnitRequest& request, uint8_t* answer);
  bool send(const UnitRequest& request);
  bool receive(uint8_t* data, size_t length);
  void drain();

  uint8_t device_;
  DeviceIo& io_;
  DeviceHandle handle_ = nullptr;
};

}  // namespace zetra::standins
