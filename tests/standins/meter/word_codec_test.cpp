// Tests of the meter's word encoding against the recorder's conversion constants.
#include "standins/meter/word_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "standins/meter/random_source.h"

namespace zetra::standins {
namespace {

TEST(WordCodec, DecodesWithTheRecordersConstants) {
  EXPECT_DOUBLE_EQ(decode_current(0, false), -11697.0);
  EXPECT_DOUBLE_EQ(decode_current(0, true), -116940.0);
  EXPECT_DOUBLE_EQ(decode_temperature(0), -3.7);
  EXPECT_NEAR(decode_current(715828, false), 1000.0 - 11697.0, 1e-9);
  EXPECT_NEAR(decode_current(715828, true), 10000.0 - 116940.0, 1e-9);
  EXPECT_NEAR(decode_temperature(715828 * 28), 24.3, 1e-12);
  // All 29 data bits set: the largest value either word can carry.
  EXPECT_NEAR(decode_current(kMaxData, false), 738302.87, 0.01);
  EXPECT_NEAR(decode_temperature(kMaxData), 746.2999, 1e-4);
  // The recorder's default reference temperature is a representable reading.
  EXPECT_EQ(encode_temperature(24.55), 20222141u);
}

TEST(WordCodec, EveryWordSurvivesDecodeThenEncode) {
  RandomSource random(11);
  std::vector<uint32_t> words = {0, 1, 2, kMaxData - 1, kMaxData, 1u << 28, (1u << 24) + 1};
  for (int i = 0; i < 200000; ++i) words.push_back(static_cast<uint32_t>(random.uniform() * kMaxData));
  for (uint32_t w : words) {
    ASSERT_EQ(encode_current(decode_current(w, false), false), w);
    ASSERT_EQ(encode_current(decode_current(w, true), true), w);
    ASSERT_EQ(encode_temperature(decode_temperature(w)), w);
  }
}

TEST(WordCodec, SampleSetsRoundTripWithinHalfAStep) {
  RandomSource random(12);
  const double normal_step = 1.0 / kWordsPerPa, high_step = 10.0 / kWordsPerPa;
  const double degree_step = 1.0 / kWordsPerDegree;
  for (int i = 0; i < 20000; ++i) {
    SampleSet set;
    set.busy = random.chance(0.1);
    for (auto& ch : set.channel) {
      ch.high_range = random.chance(0.3);
      ch.current_pa = ch.high_range ? random.uniform(-116000, 7000000) : random.uniform(-11000, 730000);
      ch.temperature_c = random.uniform(-3.0, 740.0);
    }
    const SampleWords words = encode(set);
    const SampleSet back = decode(words);
    EXPECT_EQ(back.busy, set.busy);
    for (int c = 0; c < kChannels; ++c) {
      const ChannelReading& in = set.channel[c];
      ASSERT_TRUE(words.channel[c].current.lead && words.channel[c].temperature.lead);
      ASSERT_LE(words.channel[c].current.data, kMaxData);
      ASSERT_EQ(back.channel[c].high_range, in.high_range);
      ASSERT_NEAR(back.channel[c].current_pa, in.current_pa,
                  (in.high_range ? high_step : normal_step) * 0.5 + 1e-9);
      ASSERT_NEAR(back.channel[c].temperature_c, in.temperature_c, degree_step * 0.5 + 1e-9);
    }
  }
}

TEST(WordCodec, SaturatesOutsideTheWordAndReadsLeadZeroAsZero) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(encode_current(-20000.0, false), 0u);
  EXPECT_EQ(encode_current(1e9, false), kMaxData);
  EXPECT_EQ(encode_current(-200000.0, true), 0u);
  EXPECT_EQ(encode_current(1e12, true), kMaxData);
  EXPECT_EQ(encode_current(nan, false), 0u);
  EXPECT_EQ(encode_temperature(-10.0), 0u);
  EXPECT_EQ(encode_temperature(1000.0), kMaxData);

  SampleWords words;
  words.channel[0].current = {false, kMaxData};
  words.channel[1].temperature = {false, kMaxData};
  const SampleSet set = decode(words);
  EXPECT_DOUBLE_EQ(set.channel[0].current_pa, -11697.0);
  EXPECT_DOUBLE_EQ(set.channel[1].temperature_c, -3.7);
}

}  // namespace
}  // namespace zetra::standins
