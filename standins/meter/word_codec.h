// Conversion between engineering values and the meter's 29-bit data words. Decoding is the exact
// arithmetic the recorder applies (in double precision here); encoding is its inverse, rounded.
#pragma once

#include <cstdint>

#include "standins/meter/sample_words.h"

namespace zetra::standins {

// Normal range: pA = word / 715.828 - 11697.  High (x10) range: pA = word * 10 / 715.828 - 116940.
// Temperature: deg C = word / 715828 - 3.7. The high-range offset is not ten times the normal one.
inline constexpr double kWordsPerPa = 715.828;
inline constexpr double kNormalOffsetPa = 11697.0;
inline constexpr double kHighOffsetPa = 116940.0;
inline constexpr double kWordsPerDegree = 715828.0;
inline constexpr double kTemperatureOffsetC = 3.7;

// Nearest word, clamped to 0 .. kMaxData (a value outside the range saturates; NaN gives 0).
uint32_t encode_current(double current_pa, bool high_range);
uint32_t encode_temperature(double temperature_c);

double decode_current(uint32_t data, bool high_range);
double decode_temperature(uint32_t data);

// Every word gets lead bit 1: the model only produces valid values.
SampleWords encode(const SampleSet& set);
// Values of words whose lead bit is 0 decode as if their data were 0, as the recorder reads them.
SampleSet decode(const SampleWords& words);

}  // namespace zetra::standins
