// The 32-word block in which the base unit hands over one sample set.
#include "standins/base_unit/block_layout.h"

namespace zetra::standins {

namespace {

// Sets `line` in word 2 for the lead bit and in words 3..31 for the data bits, 2^28 first.
void spread(const MeterWord& word, int32_t line, Block& block) {
  if (word.lead) block[kLeadWord] |= line;
  for (int i = kFirstDataWord; i < kBlockWords; ++i) {
    if ((word.data >> (31 - i)) & 1u) block[i] |= line;
  }
}

}  // namespace

Block make_block(const SampleWords& words, uint32_t sequence) {
  Block block{};
  block[0] = static_cast<int32_t>(sequence & 0x7fffffffu);
  spread(words.channel[0].current, kCur1Line, block);
  spread(words.channel[0].temperature, kTemp1Line, block);
  spread(words.channel[1].current, kCur2Line, block);
  spread(words.channel[1].temperature, kTemp2Line, block);
  if (words.channel[0].high_range) block[kRangeWord] |= kRange1Line;
  if (words.channel[1].high_range) block[kRangeWord] |= kRange2Line;
  return block;
}

}  // namespace zetra::standins
