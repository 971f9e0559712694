// The simulated base unit: status byte, configuration byte, control words and the 32-word
// sample block, backed by a meter. Transport-neutral, so a device library or an emulated USB
// bus can sit in front of it alike.
#pragma once

#include <array>
#include <cstdint>

#include "standins/base_unit/block_layout.h"
#include "standins/meter/sample_source.h"

namespace zetra::standins {

// Status byte.
inline constexpr uint8_t kStatusNotReady = 0x01;  // no sample set ready (meter busy or in reset)
inline constexpr uint8_t kStatusInReset = 0x02;   // held in reset by control word 0

// Control word 0.
inline constexpr int32_t kControlHoldReset = 0x01;  // hold the acquisition in reset
inline constexpr int32_t kControlDropSet = 0x02;    // throw away the sample set waiting

class SimulatedBaseUnit {
 public:
  explicit SimulatedBaseUnit(SampleSource& source, double interval_s = 0.5);

  void set_source(SampleSource& source) { source_ = &source; }
  // Simulated time passed to the meter for each new sample set.
  void set_interval(double interval_s) { interval_s_ = interval_s; }

  // Bit 0x01 set: not ready. A ready status keeps its set until a block read takes it; a busy
  // meter answers one status read with "not ready", and the next read asks it again.
  uint8_t status();
  void configure(uint8_t config) { config_ = config; }
  uint8_t configuration() const { return config_; }
  void write_word(uint8_t address, int32_t value);
  int32_t read_word(uint8_t address) const { return control_[address]; }

  // Copies `count` block words from `address` on (words past 31 read 0) and hands the set over:
  // the next status read presents a new one. Returns the number of words taken from the block.
  int read_block(uint8_t address, uint8_t count, int32_t* words);
  // The whole block of the set on offer.
  Block take_block();

  // Power-on state: control words and configuration cleared, the waiting set dropped.
  void reset();

  const SampleWords& presented() const { return set_; }
  uint32_t sets_fetched() const { return sequence_; }
  int blocks_read() const { return blocks_read_; }

 private:
  bool held_in_reset() const { return (control_[0] & kControlHoldReset) != 0; }
  void fetch();

  SampleSource* source_;
  double interval_s_;
  SampleWords set_;
  bool set_taken_ = true;   // the set on offer was read (or none fetched yet)
  bool busy_shown_ = false; // the busy set on offer was already reported once
  uint32_t sequence_ = 0;   // sets fetched from the meter; goes into block word 0
  int blocks_read_ = 0;
  uint8_t config_ = 0;      // stored and read back; the unit has no use for it
  std::array<int32_t, 256> control_{};
};

}  // namespace zetra::standins
