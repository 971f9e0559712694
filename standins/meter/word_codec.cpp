// Conversion between engineering values and the meter's 29-bit data words.
#include "standins/meter/word_codec.h"

#include <cmath>

namespace zetra::standins {
namespace {

uint32_t nearest_word(double exact) {
  if (!(exact > 0.0)) return 0;  // also catches NaN
  if (exact >= static_cast<double>(kMaxData)) return kMaxData;
  return static_cast<uint32_t>(std::llround(exact));
}

uint32_t gated(const MeterWord& word) { return word.lead ? word.data : 0; }

}  // namespace

uint32_t encode_current(double current_pa, bool high_range) {
  if (high_range) return nearest_word((current_pa + kHighOffsetPa) * kWordsPerPa / 10.0);
  return nearest_word((current_pa + kNormalOffsetPa) * kWordsPerPa);
}

uint32_t encode_temperature(double temperature_c) {
  return nearest_word((temperature_c + kTemperatureOffsetC) * kWordsPerDegree);
}

double decode_current(uint32_t data, bool high_range) {
  if (high_range) return static_cast<double>(data) * 10.0 / kWordsPerPa - kHighOffsetPa;
  return static_cast<double>(data) / kWordsPerPa - kNormalOffsetPa;
}

double decode_temperature(uint32_t data) {
  return static_cast<double>(data) / kWordsPerDegree - kTemperatureOffsetC;
}

SampleWords encode(const SampleSet& set) {
  SampleWords words;
  words.busy = set.busy;
  for (int ch = 0; ch < kChannels; ++ch) {
    const ChannelReading& in = set.channel[ch];
    ChannelWords& out = words.channel[ch];
    out.high_range = in.high_range;
    out.current = {true, encode_current(in.current_pa, in.high_range)};
    out.temperature = {true, encode_temperature(in.temperature_c)};
  }
  return words;
}

SampleSet decode(const SampleWords& words) {
  SampleSet set;
  set.busy = words.busy;
  for (int ch = 0; ch < kChannels; ++ch) {
    const ChannelWords& in = words.channel[ch];
    ChannelReading& out = set.channel[ch];
    out.high_range = in.high_range;
    out.current_pa = decode_current(gated(in.current), in.high_range);
    out.temperature_c = decode_temperature(gated(in.temperature));
  }
  return set;
}

}  // namespace zetra::standins
