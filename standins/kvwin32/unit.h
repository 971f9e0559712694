// What the stand-in kvwin32 asks of one base unit, however it reaches it: a clocked simulated unit
// in the library beside zetra, or a unit behind the kvusb driver.
#pragma once

#include <cstdint>
#include <memory>

namespace zetra::standins {

// Every call but open() expects an open unit. A call that fails (unit gone, transfer refused)
// returns false and leaves its outputs untouched.
class Unit {
 public:
  virtual ~Unit() = default;

  virtual bool open() = 0;  // false when the unit is not there; true again when already open
  virtual void close() = 0;
  virtual bool is_open() const = 0;

  virtual bool status(uint8_t& status) = 0;  // bit 0x01 = no sample set ready, 0x02 = in reset
  virtual bool configure(uint8_t config) = 0;
  virtual bool write_word(uint8_t address, int32_t value) = 0;
  virtual bool read_word(uint8_t address, int32_t& value) = 0;
  // `count` words of the 32-word sample block from `address` on; hands the sample set over.
  virtual bool read_block(uint8_t address, uint8_t count, int32_t* words) = 0;
};

// Unit 1..4 of this build of the library. Each build links exactly one definition:
// simulated_units.cpp (the shared library beside zetra) or driver_units.cpp (through kvusb).
std::unique_ptr<Unit> make_unit(uint8_t device);

}  // namespace zetra::standins
