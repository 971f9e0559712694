// Tests of the simulated meter's signal.
#include "standins/meter/meter_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "standins/meter/word_codec.h"

namespace zetra::standins {
namespace {

struct Spread {
  double sum = 0, sum_sq = 0;
  int n = 0;
  void add(double x) { sum += x, sum_sq += x * x, ++n; }
  double mean() const { return sum / n; }
  double rms_deviation() const { return std::sqrt(std::max(0.0, sum_sq / n - mean() * mean())); }
};

TEST(MeterModel, SameSeedGivesTheSameSignal) {
  MeterModel a(5), b(5), c(6);
  int differing = 0;
  for (int i = 0; i < 2000; ++i) {
    const SampleWords wa = a.next(0.5), wb = b.next(0.5), wc = c.next(0.5);
    ASSERT_EQ(wa, wb) << "set " << i;
    differing += wa != wc;
  }
  EXPECT_GT(differing, 1900);
  EXPECT_DOUBLE_EQ(a.time_s(), 1000.0);
  a.next(-3.0);  // time never runs backwards
  EXPECT_DOUBLE_EQ(a.time_s(), 1000.0);
}

// An hour at 2 samples/s without surges: the drift is the temperature coefficient's doing, so the
// recorder's default compensation (24.55 deg C, 100 pA per deg C) leaves only the noise.
TEST(MeterModel, CompensationFlattensTheDriftAndStepsShow) {
  MeterProfile profile;
  profile.first_excursion_after_s = std::numeric_limits<double>::infinity();
  MeterModel model(21, profile);
  Spread temperature, raw_residual, compensated_residual;
  double low_nm = 1e9, high_nm = -1e9;
  int busy = 0;
  for (int i = 0; i < 7200; ++i) {
    const SampleSet set = model.advance(0.5);
    busy += set.busy;
    const ChannelReading& ch1 = set.channel[0];
    EXPECT_FALSE(ch1.high_range || set.channel[1].high_range);
    const double expected_pa = 500.0 + 1.0 * model.concentration_nm();
    const double residual = ch1.current_pa - expected_pa;
    temperature.add(ch1.temperature_c);
    raw_residual.add(residual);
    compensated_residual.add(residual - (ch1.temperature_c - 24.55) * 100.0);
    low_nm = std::min(low_nm, model.concentration_nm());
    high_nm = std::max(high_nm, model.concentration_nm());
  }
  EXPECT_NEAR(temperature.mean(), 24.55, 0.4);
  EXPECT_GT(temperature.rms_deviation(), 0.2);
  EXPECT_LT(compensated_residual.rms_deviation(), 2.5);  // noise of 2 pA RMS
  EXPECT_NEAR(compensated_residual.mean(), 0.0, 0.2);
  EXPECT_GT(raw_residual.rms_deviation(), 10 * compensated_residual.rms_deviation());
  EXPECT_GE(model.steps_taken(), 45);  // one every 60 +- 15 s
  EXPECT_LE(model.steps_taken(), 80);
  EXPECT_GT(high_nm - low_nm, 100.0);
  EXPECT_GT(busy, 7200 * 0.01);
  EXPECT_LT(busy, 7200 * 0.035);
}

// With the defaults a surge now and then takes one channel into its x10 range and back.
TEST(MeterModel, SurgesSwitchTheRangeWithHysteresis) {
  MeterModel model(3);
  int high_sets = 0;
  std::array<bool, kChannels> was_high{};
  std::array<int, kChannels> switches{};
  std::array<int, kChannels> high_run{};
  for (int i = 0; i < 4 * 3600 * 2; ++i) {
    const SampleSet set = model.advance(0.5);
    for (int c = 0; c < kChannels; ++c) {
      const ChannelReading& ch = set.channel[c];
      // Noise is a few pA, so the thresholds (above 10000 up, below 8000 down) bound the reading.
      if (ch.high_range) {
        EXPECT_GT(ch.current_pa, 7950.0);
      } else {
        EXPECT_LT(ch.current_pa, 10050.0);
      }
      high_sets += ch.high_range;
      high_run[c] = ch.high_range ? high_run[c] + 1 : 0;
      ASSERT_LE(high_run[c], 16) << "a surge lasts 8 s";
      switches[c] += ch.high_range != was_high[c];
      was_high[c] = ch.high_range;
      const SampleWords words = encode(set);
      ASSERT_LT(words.channel[c].current.data, kMaxData);  // never saturates
    }
  }
  EXPECT_GE(model.excursions_started(), 20);  // mean spacing 5 min over 4 hours
  EXPECT_LE(model.excursions_started(), 80);
  EXPECT_GE(switches[0] + switches[1], 2 * 20 - 2);
  EXPECT_LT(high_sets, 4 * 3600 * 2 / 20);  // a small share of the time
}

TEST(MeterModel, OneLongIntervalRunsEveryEventInIt) {
  MeterModel model(9);
  model.advance(1800.0);
  EXPECT_DOUBLE_EQ(model.time_s(), 1800.0);
  EXPECT_GE(model.steps_taken(), 23);
  EXPECT_GE(model.excursions_started(), 1);
}

}  // namespace
}  // namespace zetra::standins
