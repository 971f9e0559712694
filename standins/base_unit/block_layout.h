// The 32-word block in which the base unit hands over one sample set.
#pragma once

#include <array>
#include <cstdint>

#include "standins/meter/sample_words.h"

namespace zetra::standins {

inline constexpr int kBlockWords = 32;
using Block = std::array<int32_t, kBlockWords>;

// Each word is a set of signal lines, one bit per meter output:
inline constexpr int32_t kCur1Line = 0x01;   // CH1 current word
inline constexpr int32_t kTemp1Line = 0x02;  // CH1 temperature word
inline constexpr int32_t kRange1Line = 0x04; // CH1 high range, in word 30 only
inline constexpr int32_t kCur2Line = 0x08;   // CH2 current word
inline constexpr int32_t kTemp2Line = 0x10;  // CH2 temperature word
inline constexpr int32_t kRange2Line = 0x20; // CH2 high range, in word 30 only

inline constexpr int kLeadWord = 2;    // lead bits of the four words
inline constexpr int kFirstDataWord = 3;  // word i carries the data bit of weight 2^(31 - i)
inline constexpr int kRangeWord = 30;

// Words 0 and 1 are not part of the sample set; this unit puts the set's sequence number in
// word 0 and leaves word 1 zero.
Block make_block(const SampleWords& words, uint32_t sequence);

}  // namespace zetra::standins
