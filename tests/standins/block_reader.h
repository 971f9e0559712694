// Reads a 32-word sample block back into the four words, independently of the code that built
// it: word 2 holds the lead bits, word i (3..31) the data bit of weight 2^(31 - i).
#pragma once

#include <cstdint>

#include "standins/meter/sample_words.h"

namespace zetra::standins::testing {

inline MeterWord read_word_on_line(const int32_t* block, int32_t line) {
  MeterWord word;
  word.lead = (block[2] & line) != 0;
  for (int i = 3; i <= 31; ++i) {
    if (block[i] & line) word.data += uint32_t{1} << (31 - i);
  }
  return word;
}

inline SampleWords read_block_words(const int32_t* block) {
  SampleWords words;
  words.channel[0] = {read_word_on_line(block, 0x01), read_word_on_line(block, 0x02),
                      (block[30] & 0x04) != 0};
  words.channel[1] = {read_word_on_line(block, 0x08), read_word_on_line(block, 0x10),
                      (block[30] & 0x20) != 0};
  return words;
}

}  // namespace zetra::standins::testing
