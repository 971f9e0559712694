// Tests of the simulated base unit: block layout, status protocol and control word.
#include "standins/base_unit/simulated_base_unit.h"

#include <gtest/gtest.h>

#include "standins/meter/meter_model.h"
#include "standins/meter/scripted_meter.h"
#include "tests/standins/block_reader.h"

namespace zetra::standins {
namespace {

TEST(BlockLayout, EachWordTravelsOnItsOwnLine) {
  // CH1 current: bits of weight 2^28 and 2^0 only; CH1 temperature: lead only; CH2 current:
  // lead 0 but all data bits; CH2 temperature: weight 2^1 only.
  const SampleWords words = make_words(valid_word((1u << 28) | 1u), valid_word(0),
                                       invalid_word(kMaxData), valid_word(2), true, false);
  const Block block = make_block(words, 17);
  EXPECT_EQ(block[0], 17);
  EXPECT_EQ(block[1], 0);
  EXPECT_EQ(block[2], 0x01 | 0x02 | 0x10);
  EXPECT_EQ(block[3], 0x01 | 0x08);    // weight 2^28
  EXPECT_EQ(block[29], 0x08);          // weight 2^2
  EXPECT_EQ(block[30], 0x08 | 0x10 | 0x04);  // weight 2^1, plus CH1 high range
  EXPECT_EQ(block[31], 0x01 | 0x08);   // weight 2^0
  for (int i = 4; i <= 28; ++i) EXPECT_EQ(block[i], 0x08) << "word " << i;

  const Block ch2_high = make_block(make_words({}, {}, {}, {}, false, true), 1);
  EXPECT_EQ(ch2_high[30], 0x20);
  for (int i = 2; i < 32; ++i) {
    if (i != 30) {
      EXPECT_EQ(ch2_high[i], 0) << "word " << i;
    }
  }
}

TEST(BlockLayout, ModelSetsRoundTripThroughTheBlock) {
  MeterModel model(4);
  for (int i = 0; i < 3000; ++i) {
    SampleWords words = model.next(0.5);
    words.channel[i % 2].current.lead = (i % 7) != 0;  // lead 0 must not disturb the data bits
    const Block block = make_block(words, i);
    SampleWords back = testing::read_block_words(block.data());
    back.busy = words.busy;
    ASSERT_EQ(back, words) << "set " << i;
    for (int w = 2; w < 32; ++w) ASSERT_EQ(block[w] & ~0x3f, 0);
  }
}

TEST(SimulatedBaseUnit, StatusAndBlockReadsHandOverEachSetOnce) {
  ScriptedMeter meter;
  const SampleWords a = make_words(valid_word(11), valid_word(12), valid_word(13), valid_word(14));
  const SampleWords b = make_words(valid_word(21), valid_word(22), valid_word(23), valid_word(24));
  const SampleWords c = make_words(valid_word(31), valid_word(32), valid_word(33), valid_word(34));
  meter.push(a);
  meter.push_busy();
  meter.push(b);
  meter.push(c);
  SimulatedBaseUnit unit(meter, 0.2);
  Block block{};

  EXPECT_EQ(unit.status(), 0);
  EXPECT_EQ(unit.status(), 0) << "a ready set waits for its block read";
  EXPECT_EQ(unit.read_block(0, 32, block.data()), 32);
  EXPECT_EQ(testing::read_block_words(block.data()), a);
  EXPECT_EQ(block[0], 1);
  EXPECT_EQ(unit.status() & kStatusNotReady, kStatusNotReady);
  EXPECT_EQ(unit.status(), 0);
  unit.read_block(0, 32, block.data());
  EXPECT_EQ(testing::read_block_words(block.data()), b);
  EXPECT_EQ(block[0], 3);
  // A block read without a status poll gets the meter's next set.
  unit.read_block(0, 32, block.data());
  EXPECT_EQ(testing::read_block_words(block.data()), c);
  EXPECT_DOUBLE_EQ(meter.elapsed_total_s(), 0.8);

  // A partial read past the end of the block: four block words, then zeros.
  std::array<int32_t, 8> tail;
  tail.fill(-1);
  EXPECT_EQ(unit.read_block(28, 8, tail.data()), 4);
  // The script has run out, so c comes again; word 30 (weight 2^1) is set in 31 and 34 only.
  EXPECT_EQ(tail[2], 0x01 | 0x10);
  for (int k = 4; k < 8; ++k) EXPECT_EQ(tail[k], 0);
}

TEST(SimulatedBaseUnit, ControlWordZeroHoldsInResetAndDropsTheWaitingSet) {
  ScriptedMeter meter;
  const SampleWords a = make_words(valid_word(1), valid_word(1), valid_word(1), valid_word(1));
  const SampleWords b = make_words(valid_word(2), valid_word(2), valid_word(2), valid_word(2));
  meter.push(a);
  meter.push(b);
  SimulatedBaseUnit unit(meter);
  EXPECT_EQ(unit.status(), 0);  // a waits

  unit.configure(0x5a);
  unit.write_word(0, 3);
  EXPECT_EQ(unit.read_word(0), 3);
  EXPECT_EQ(unit.status(), kStatusNotReady | kStatusInReset);
  Block block;
  block.fill(-1);
  unit.read_block(0, 32, block.data());
  EXPECT_EQ(block, Block{}) << "nothing to read in reset";

  unit.write_word(0, 0);
  EXPECT_EQ(unit.status(), 0);
  unit.read_block(0, 32, block.data());
  EXPECT_EQ(testing::read_block_words(block.data()), b) << "the set waiting before the reset is gone";
  EXPECT_EQ(unit.configuration(), 0x5a);
  unit.reset();
  EXPECT_EQ(unit.configuration(), 0);
}

}  // namespace
}  // namespace zetra::standins
