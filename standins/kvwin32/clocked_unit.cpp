// One base unit as the stand-in kvwin32 serves it, paced by a clock.
#include "standins/kvwin32/clocked_unit.h"

#include <algorithm>

namespace zetra::standins {

SampleWords ClockedUnit::RealTimeMeter::next(double) {
  const double now_s = clock();
  const double elapsed_s = started ? std::clamp(now_s - last_s, 0.0, kLongestStepS) : 0.0;
  started = true;
  last_s = now_s;
  return model.next(elapsed_s);
}

ClockedUnit::ClockedUnit(uint64_t seed, Clock clock, const MeterProfile& profile)
    : clock_(std::move(clock)), meter_(seed, profile, clock_), unit_(meter_) {}

bool ClockedUnit::open() {
  open_ = true;
  return true;
}

void ClockedUnit::close() {
  open_ = false;
}

bool ClockedUnit::status(uint8_t& status) {
  if (read_once_ && clock_() - last_read_s_ < kConversionTimeS) {
    status = kStatusNotReady;
  } else {
    status = unit_.status();
  }
  return true;
}

bool ClockedUnit::configure(uint8_t config) {
  unit_.configure(config);
  return true;
}

bool ClockedUnit::write_word(uint8_t address, int32_t value) {
  unit_.write_word(address, value);
  return true;
}

bool ClockedUnit::read_word(uint8_t address, int32_t& value) {
  value = unit_.read_word(address);
  return true;
}

bool ClockedUnit::read_block(uint8_t address, uint8_t count, int32_t* words) {
  last_read_s_ = clock_();
  read_once_ = true;
  unit_.read_block(address, count, words);
  return true;
}

}  // namespace zetra::standins
