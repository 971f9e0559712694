// One base unit as the stand-in kvwin32 serves it, paced by a clock.
#include "standins/kvwin32/clocked_unit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

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

QuietSpell parse_quiet_spell(const char* text) {
  QuietSpell spell;
  double from = 0, length = 0;
  char mode[8] = {};
  if (text == nullptr) return spell;
  const int fields = std::sscanf(text, "%lf,%lf,%7s", &from, &length, mode);
  if (fields < 2 || from < 0 || length <= 0) return spell;
  if (fields == 3 && std::strcmp(mode, "busy") != 0) return spell;
  spell.from_s = from;
  spell.to_s = from + length;
  spell.busy = fields == 3;
  return spell;
}

bool ClockedUnit::open() {
  if (opened_s_ < 0) opened_s_ = clock_();
  open_ = true;
  return true;
}

bool ClockedUnit::quiet() const {
  if (spell_.from_s < 0 || opened_s_ < 0) return false;
  const double since = clock_() - opened_s_;
  return since >= spell_.from_s && since < spell_.to_s;
}

void ClockedUnit::close() {
  open_ = false;
}

bool ClockedUnit::status(uint8_t& status) {
  if (quiet() && !spell_.busy) return false;
  if (quiet()) {
    status = kStatusNotReady;
    return true;
  }
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
  if (quiet() && !spell_.busy) return false;
  last_read_s_ = clock_();
  read_once_ = true;
  unit_.read_block(address, count, words);
  return true;
}

}  // namespace zetra::standins
