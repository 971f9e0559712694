// The clipboard text table: header, fields, formats, line ends, compensation and ranges.
#include "recorder/analysis/clipboard_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/recorder/analysis/analysis_fixture.h"

namespace zetra::analysis {
namespace {

using testing::AnalysisFixture;

constexpr const char* kHeader =
    "   Time\t  <1>pA\t  <1>nM\t   <1>\u00B0C\t  <2>pA\t  <2>nM\t   <2>\u00B0C\r\n";

TEST(TableText, HeaderAndOneLinePerSampleWithTabsAndCrLf) {
  AnalysisFixture f;
  f.state.pa_per_nm1 = 1.25f;
  f.state.pa_per_nm2 = 2.0f;
  f.record(30, [](int k) {
    return std::array<float, 4>{k == 21 ? 150.0f : -0.05f * static_cast<float>(k), 1000.5f,
                                24.5f, -3.125f};
  });
  const std::string text = table_text(f.state, f.state, TableRange{21.0f, 21, 2});
  EXPECT_EQ(text, std::string(kHeader) +
                      "10.5\t150.0\t120.0\t24.50\t1000.5\t500.3\t-3.13\r\n"
                      "11.0\t-1.1\t-0.9\t24.50\t1000.5\t500.3\t-3.13\r\n");
  // The header stays the same whatever the display choices.
  f.state.tc_on = true;
  EXPECT_EQ(table_text(f.state, f.state, TableRange{1, 1, 0}), kHeader);
}

TEST(TableText, CurrentsAreCompensatedAndTemperaturesAreNot) {
  AnalysisFixture f;
  f.state.tc_on = true;  // defaults: start point 24.55 deg C, factor 100 pA per deg C
  f.state.pa_per_nm1 = 2.0f;
  f.record(1, [](int) { return std::array<float, 4>{500.0f, 500.0f, 25.55f, 23.55f}; });
  const std::string text = table_text(f.state, f.state, TableRange{1, 1, 1});
  char expected[128];
  const float pa1 = 500.0f - (25.55f - 24.55f) * 100.0f;
  const float pa2 = 500.0f - (23.55f - 24.55f) * 100.0f;
  std::snprintf(expected, sizeof expected, "0.5\t%.1f\t%.1f\t25.55\t%.1f\t%.1f\t23.55\r\n",
                static_cast<double>(pa1), static_cast<double>(pa1 / 2.0f),
                static_cast<double>(pa2), static_cast<double>(pa2 / 2.0f));
  EXPECT_EQ(text.substr(std::string(kHeader).size()), expected);
  EXPECT_EQ(std::string(expected).substr(0, 20), "0.5\t400.0\t200.0\t25.5");
}

TEST(TableText, KeepsThePositionFractionInTheTimeAndStaysInsideTheArrays) {
  AnalysisFixture f(10);
  f.record(9, [](int k) { return std::array<float, 4>{static_cast<float>(k), 0, 0, 0}; });
  // Positions 7.5, 8.5, 9.5 ... at 2 samples per second; the arrays end at index 10.
  const std::string text = table_text(f.state, f.state, TableRange{7.5f, 8, 10});
  EXPECT_EQ(text, std::string(kHeader) +
                      "3.8\t8.0\t8.0\t0.00\t0.0\t0.0\t0.00\r\n"
                      "4.3\t9.0\t9.0\t0.00\t0.0\t0.0\t0.00\r\n"
                      "4.8\t0.0\t0.0\t0.00\t0.0\t0.0\t0.00\r\n");
  EXPECT_EQ(table_text(f.state, f.state, TableRange{1, 11, 5}), kHeader);
}

}  // namespace
}  // namespace zetra::analysis
