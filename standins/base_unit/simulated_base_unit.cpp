// The simulated base unit behind the device library and the emulated USB bus.
#include "standins/base_unit/simulated_base_unit.h"

namespace zetra::standins {

SimulatedBaseUnit::SimulatedBaseUnit(SampleSource& source, double interval_s)
    : source_(&source), interval_s_(interval_s) {}

uint8_t SimulatedBaseUnit::status() {
  if (held_in_reset()) return kStatusNotReady | kStatusInReset;
  if (set_taken_ || (set_.busy && busy_shown_)) fetch();
  if (set_.busy) {
    busy_shown_ = true;
    return kStatusNotReady;
  }
  return 0;
}

void SimulatedBaseUnit::write_word(uint8_t address, int32_t value) {
  control_[address] = value;
  if (address == 0 && (value & kControlDropSet)) set_taken_ = true;
}

int SimulatedBaseUnit::read_block(uint8_t address, uint8_t count, int32_t* words) {
  const Block block = take_block();
  int taken = 0;
  for (int k = 0; k < count; ++k) {
    const int index = address + k;
    words[k] = index < kBlockWords ? block[index] : 0;
    if (index < kBlockWords) ++taken;
  }
  return taken;
}

Block SimulatedBaseUnit::take_block() {
  ++blocks_read_;
  if (held_in_reset()) return Block{};
  if (set_taken_) fetch();  // read without a status poll: the meter delivers its next set
  set_taken_ = true;
  return make_block(set_, sequence_);
}

void SimulatedBaseUnit::reset() {
  control_.fill(0);
  config_ = 0;
  set_taken_ = true;
}

void SimulatedBaseUnit::fetch() {
  set_ = source_->next(interval_s_);
  set_taken_ = false;
  busy_shown_ = false;
  ++sequence_;
}

}  // namespace zetra::standins
