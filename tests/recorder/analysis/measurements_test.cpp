// The hover readout and the six measurements: exact texts, the scan rule, and long selections
// against a straightforward double-precision twin.
#include "recorder/analysis/measurements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "recorder/state/display_rule.h"

#include "recorder/numbers/number_format.h"
#include "tests/recorder/analysis/analysis_fixture.h"

namespace zetra::analysis {
namespace {

using testing::AnalysisFixture;

// Sample k holds k pA on CH1, 2k pA on CH2, temperatures 20 + k / 100 and 30 - k / 100.
std::array<float, 4> ramp(int k) {
  const auto v = static_cast<float>(k);
  return {v, 2 * v, 20.0f + v / 100.0f, 30.0f - v / 100.0f};
}

// The scans work on several lanes at once and join them at the end: every length, tails of every
// size included, gives exactly the maximum and minimum of one running figure, with and without
// compensation, and sums as close as double precision allows.
TEST(Measurements, LaneScansEqualOneRunningFigureAtEveryLength) {
  AnalysisFixture f;
  std::mt19937 random(11);
  std::normal_distribution<float> noise(0, 500);
  f.record(999, [&](int) {
    return std::array<float, 4>{noise(random), noise(random), 25 + noise(random) / 100,
                                25 + noise(random) / 100};
  });
  RecorderState& s = f.state;
  s.tc_factor1 = 3.5f;
  s.tc_start1 = 24;
  s.int_base1 = 12.5f;
  for (const bool tc : {false, true}) {
    s.tc_on = tc;
    const ChannelRule rule = channel_rule(s, 1);
    for (int n = 2; n <= 980; n = n < 40 ? n + 1 : n * 3) {
      f.select(10.0f, 10.0f + static_cast<float>(n));  // samples 11 .. 10 + n
      float largest = rule.compensated_pa(s.rec_cur1[11], s.rec_temp1[11]), smallest = largest;
      double sum = 0;
      for (int k = 11; k < 11 + n; ++k) {
        const float v = rule.compensated_pa(s.rec_cur1[k], s.rec_temp1[k]);
        if (v > largest) largest = v;
        if (v < smallest) smallest = v;
        sum += static_cast<double>(v) - s.int_base1;
      }
      ASSERT_TRUE(measure(s, Measurement::Maximum));
      EXPECT_EQ(s.meas1, largest) << n << (tc ? " compensated" : "");
      ASSERT_TRUE(measure(s, Measurement::Minimum));
      EXPECT_EQ(s.meas1, smallest) << n << (tc ? " compensated" : "");
      measure(s, Measurement::Integral);
      EXPECT_NEAR(s.meas1, sum, 1e-5 * std::fabs(sum) + 1e-3) << n << (tc ? " compensated" : "");
    }
  }
}

TEST(Measurements, ScanVisitsTheStartAndStopsBeforeTheEnd) {
  AnalysisFixture f;
  f.record(100, ramp);
  f.select(10.0f, 15.0f);  // view_start 1: samples 11 .. 15
  ASSERT_TRUE(measure(f.state, Measurement::Average));
  EXPECT_FLOAT_EQ(f.state.meas1, 13.0f);
  EXPECT_FLOAT_EQ(f.state.meas2, 26.0f);
  ASSERT_TRUE(measure(f.state, Measurement::Sample));
  EXPECT_EQ(f.state.readout, "          Samples:  5");
  f.select(10.0f, 15.3f);  // six visits: samples 11 .. 16
  ASSERT_TRUE(measure(f.state, Measurement::Average));
  EXPECT_FLOAT_EQ(f.state.meas1, 13.5f);
  f.select(15.3f, 10.0f);  // leftwards from sample 16: 16 .. 11
  ASSERT_TRUE(measure(f.state, Measurement::Average));
  EXPECT_FLOAT_EQ(f.state.meas1, 13.5f);
  // Half positions: the start is rounded once (11.5 -> 12), then whole steps 12, 13, 14, 15.
  f.select(10.5f, 14.5f);
  ASSERT_TRUE(measure(f.state, Measurement::Integral));
  EXPECT_FLOAT_EQ(f.state.meas1, 12.0f + 13.0f + 14.0f + 15.0f);
  EXPECT_EQ(f.state.sel_scan, f.state.sel_start);
}

TEST(Measurements, AverageOverAWidthOfOneOrLessKeepsTheReadout) {
  AnalysisFixture f;
  f.record(100, ramp);
  f.state.readout = "previous";
  f.select(10.0f, 10.8f);
  EXPECT_FALSE(measure(f.state, Measurement::Average));
  f.select(10.0f, 11.0f);
  EXPECT_FALSE(measure(f.state, Measurement::Average));
  EXPECT_EQ(f.state.readout, "previous");
}

TEST(Measurements, DeltaTextIsSymmetricAndZeroAtThePressPoint) {
  AnalysisFixture f;
  f.record(100, ramp);
  f.select(20.0f, 20.0f);
  ASSERT_TRUE(measure(f.state, Measurement::Delta));
  EXPECT_EQ(f.state.readout,
            "          Delta:  0.0 pA      0.0 nM      0.00\u00B0C    ___ 0.0 pA      0.0 nM      "
            "0.00\u00B0C      0s");
  f.select(3.0f, 8.0f);
  ASSERT_TRUE(measure(f.state, Measurement::Delta));
  const std::string forwards = f.state.readout;
  f.select(8.0f, 3.0f);
  ASSERT_TRUE(measure(f.state, Measurement::Delta));
  EXPECT_EQ(f.state.readout, forwards);
  EXPECT_EQ(forwards,
            "          Delta:  5.0 pA      5.0 nM      0.05\u00B0C    ___ 10.0 pA      5.0 nM      "
            "0.05\u00B0C      3s");  // 5 samples at 0.5 s: 2.5 s shows as 3s
}

TEST(Measurements, MaximumAndMinimumTakeEachFigureFromItsOwnSample) {
  AnalysisFixture f;
  f.record(20, [](int k) {
    return std::array<float, 4>{k == 5 ? 900.0f : 100.0f, k == 7 ? -40.0f : 10.0f,
                                k == 9 ? 37.5f : 25.0f, k == 4 ? 11.0f : 22.0f};
  });
  f.select(2.0f, 12.0f);  // samples 3 .. 12
  ASSERT_TRUE(measure(f.state, Measurement::Maximum));
  EXPECT_EQ(f.state.readout,
            "          Max:  900.0 pA   900.0 nM   37.50\u00B0C ___ 10.0 pA   5.0 nM   "
            "22.00\u00B0C");
  ASSERT_TRUE(measure(f.state, Measurement::Minimum));
  EXPECT_EQ(f.state.readout,
            "          Min:  100.0 pA   100.0 nM   25.00\u00B0C ___ -40.0 pA   -20.0 nM   "
            "11.00\u00B0C");
  EXPECT_EQ(f.state.meas2, -40.0f);
  // A selection of no width still reports the sample at its start.
  f.select(4.0f, 4.0f);
  ASSERT_TRUE(measure(f.state, Measurement::Maximum));
  EXPECT_EQ(f.state.meas1, 900.0f);
}

TEST(Measurements, IntegralSubtractsTheBaseLineAndUsesTheRectangleRule) {
  AnalysisFixture f;
  f.state.pa_per_nm1 = 2.0f;
  f.record(10, [](int) { return std::array<float, 4>{100.0f, 30.0f, 25.0f, 25.0f}; });
  f.select(1.0f, 5.0f);  // 4 samples at 2 samples per second
  f.state.int_base2 = 10.0f;
  ASSERT_TRUE(measure(f.state, Measurement::Integral));
  EXPECT_EQ(f.state.readout,
            "          Integral = 200.0 pAs   100.0 nMs ___ 40.0 pAs   20.0 nMs");
  // Compensation on, each channel with its own constants: CH1 100 - (25 - 20) x 4 = 80 pA.
  f.state.tc_on = true;
  f.state.tc_start1 = 20.0f;
  f.state.tc_factor1 = 4.0f;
  f.state.tc_start2 = 25.0f;
  f.state.tc_factor2 = 7.0f;
  ASSERT_TRUE(measure(f.state, Measurement::Integral));
  EXPECT_EQ(f.state.readout,
            "          Integral = 160.0 pAs   80.0 nMs ___ 40.0 pAs   20.0 nMs");
}

TEST(Measurements, ScansNeverReadOutsideTheRecording) {
  AnalysisFixture f;
  f.record(50, [](int) { return std::array<float, 4>{1.0f, 1.0f, 1.0f, 1.0f}; });
  // Index 0 and everything after the newest sample hold values that would show at once.
  for (size_t k : {size_t{0}, size_t{51}, size_t{52}, size_t{60}}) {
    f.state.rec_cur1[k] = f.state.rec_cur2[k] = f.state.rec_temp1[k] = f.state.rec_temp2[k] = 1e9f;
  }
  f.state.view_start = 1;
  for (auto [start, end] : {std::pair{-0.6f, 3.0f}, std::pair{3.0f, -1.6f}, std::pair{47.0f, 52.0f},
                            std::pair{49.6f, 45.0f}, std::pair{49.6f, 60.0f}}) {
    f.select(start, end);
    for (Measurement mode : {Measurement::Maximum, Measurement::Average, Measurement::Integral}) {
      measure(f.state, mode);
      EXPECT_LT(f.state.meas1, 100.0f) << start << " .. " << end;
    }
  }
}

TEST(HoverReadout, ShowsBothChannelsAndTheUnroundedTime) {
  AnalysisFixture f;
  f.record(10, [](int k) {
    return k == 1 ? std::array<float, 4>{150.0f, -20.25f, 24.5f, 36.125f} : ramp(k);
  });
  f.state.pa_per_nm1 = 1.25f;
  EXPECT_EQ(hover_readout(f.state, 0.4f),  // index 1; (1 + 0.4) x 0.5 s = 0.7 s
            "          Value:  150.0 pA   120.0 nM   24.50\u00B0C ___ -20.3 pA   -10.1 nM   "
            "36.13\u00B0C         Time:  1s");
  std::string compensated = hover_readout(f.state, 0.4f);
  compensated.replace(compensated.find("         Time:"), 14, "      Time:");
  f.state.tc_on = true;
  f.state.tc_factor1 = f.state.tc_factor2 = 0;  // the same figures, only the time piece moves
  EXPECT_EQ(hover_readout(f.state, 0.4f), compensated);
  f.state.readout = "          Max:  1.0 pA";
  EXPECT_EQ(status_line(f.state), "DIV: 10s_200_500_10\u00B0C_10\u00B0C          Max:  1.0 pA");
}

// The twin: the scan as an index range computed from scratch, sums and extremes in double.
struct Twin {
  std::array<double, 4> max{-INFINITY, -INFINITY, -INFINITY, -INFINITY};
  std::array<double, 4> min{INFINITY, INFINITY, INFINITY, INFINITY};
  std::array<double, 4> sum{};  // currents without base line, temperatures
  double integral1 = 0, integral2 = 0;
  long n = 0;
};

Twin twin_scan(const RecorderState& s) {
  const double start = s.sel_start, end = s.sel_end;
  const auto first = static_cast<long>(std::nearbyint(s.view_start + start));
  const auto visits = static_cast<long>(std::ceil(std::fabs(end - start)));
  const long step = start < end ? 1 : -1;
  Twin t;
  for (long j = 0; j < visits; ++j) {
    const long k = first + j * step;
    if (k < 1 || k > static_cast<long>(s.rec_next) - 1) continue;
    const auto i = static_cast<size_t>(k);
    std::array<double, 4> v{s.rec_cur1[i], s.rec_cur2[i], s.rec_temp1[i], s.rec_temp2[i]};
    if (s.tc_on) {
      v[0] -= (v[2] - s.tc_start1) * s.tc_factor1;
      v[1] -= (v[3] - s.tc_start2) * s.tc_factor2;
    }
    for (size_t c = 0; c < 4; ++c) {
      t.max[c] = std::max(t.max[c], v[c]);
      t.min[c] = std::min(t.min[c], v[c]);
      t.sum[c] += v[c];
    }
    t.integral1 += v[0] - s.int_base1;
    t.integral2 += v[1] - s.int_base2;
    ++t.n;
  }
  return t;
}

std::string extreme_text(const char* title, const RecorderState& s, const std::array<double, 4>& m) {
  using numbers::format_fixed;
  const auto v1 = static_cast<float>(m[0]), v2 = static_cast<float>(m[1]);
  return std::string(title) + format_fixed(v1, 1) + " pA   " + format_fixed(v1 / s.pa_per_nm1, 1) +
         " nM   " + format_fixed(m[2], 2) + "\u00B0C ___ " + format_fixed(v2, 1) + " pA   " +
         format_fixed(v2 / s.pa_per_nm2, 1) + " nM   " + format_fixed(m[3], 2) + "\u00B0C";
}

TEST(Measurements, LongSelectionsAgreeWithADoublePrecisionTwin) {
  AnalysisFixture f(300000);
  std::mt19937 random(20260407);
  std::normal_distribution<float> noise(0.0f, 50.0f);
  float level = 1000.0f;
  f.record(299990, [&](int k) {
    level += noise(random);
    return std::array<float, 4>{level, -level / 3.0f + 20000.0f, 25.0f + (k % 97) * 0.01f,
                                24.0f - (k % 89) * 0.01f};
  });
  std::uniform_real_distribution<float> where(0.0f, 300000.0f);
  int compared = 0;
  for (int round = 0; round < 40; ++round) {
    RecorderState& s = f.state;
    s.tc_on = round % 2 == 1;
    s.int_base1 = round % 3 == 0 ? 0.0f : 750.25f;
    s.view_start = std::floor(where(random) / 4) + 1;
    // Quarter positions: exact in both precisions, halves included.
    f.select(std::round(where(random) * 4) / 4 - s.view_start,
             std::round(where(random) * 4) / 4 - s.view_start);
    const Twin t = twin_scan(s);
    if (t.n < 2) continue;
    ++compared;
    const std::string at = std::to_string(s.sel_start) + " .. " + std::to_string(s.sel_end);
    const double tolerance = 1e-4 * static_cast<double>(t.n) + 0.01;
    ASSERT_TRUE(measure(s, Measurement::Maximum)) << at;
    EXPECT_NEAR(s.meas1, t.max[0], 0.01) << at;
    if (!s.tc_on) {
      EXPECT_EQ(s.readout, extreme_text("          Max:  ", s, t.max)) << at;
    }
    ASSERT_TRUE(measure(s, Measurement::Minimum)) << at;
    EXPECT_NEAR(s.meas2, t.min[1], 0.01) << at;
    if (!s.tc_on) {
      EXPECT_EQ(s.readout, extreme_text("          Min:  ", s, t.min)) << at;
    }
    ASSERT_TRUE(measure(s, Measurement::Average)) << at;
    EXPECT_NEAR(s.meas1, t.sum[0] / t.n, 0.01) << at;
    EXPECT_NEAR(s.meas2, t.sum[1] / t.n, 0.01) << at;
    ASSERT_TRUE(measure(s, Measurement::Integral)) << at;
    EXPECT_NEAR(s.meas1, t.integral1, 1e-6 * std::fabs(t.integral1) + tolerance) << at;
    EXPECT_NEAR(s.meas2, t.integral2, 1e-6 * std::fabs(t.integral2) + tolerance) << at;
  }
  EXPECT_GT(compared, 20);
}

// A selection that takes in samples held while the unit did not answer says so, in every mode.
TEST(Measurements, SaySoWhenTheSelectionTakesInHeldSamples) {
  AnalysisFixture f;
  f.record(100, ramp);
  RecorderState& s = f.state;
  ASSERT_TRUE(s.held.append({40, 49, -1, -1}));
  const std::string seven = "   (includes 7 held samples: no answer from the unit)";
  const auto ends_with = [](const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
  };
  f.select(30, 45);  // samples 31 .. 46 between the edges
  for (Measurement mode : {Measurement::Delta, Measurement::Maximum, Measurement::Minimum,
                           Measurement::Average, Measurement::Sample, Measurement::Integral}) {
    ASSERT_TRUE(measure(s, mode));
    EXPECT_TRUE(ends_with(s.readout, seven)) << s.readout;
  }
  f.select(45, 30);  // dragged the other way: the same samples
  ASSERT_TRUE(measure(s, Measurement::Delta));
  EXPECT_TRUE(ends_with(s.readout, seven)) << s.readout;
  f.select(48, 60);
  ASSERT_TRUE(measure(s, Measurement::Maximum));
  EXPECT_TRUE(ends_with(s.readout, "   (includes 1 held sample: no answer from the unit)"));
  f.select(0, 37.4f);  // up to sample 38: none held
  ASSERT_TRUE(measure(s, Measurement::Average));
  EXPECT_EQ(s.readout.find("held"), std::string::npos) << s.readout;
}

}  // namespace
}  // namespace zetra
