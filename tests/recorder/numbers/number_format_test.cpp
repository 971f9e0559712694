#include "recorder/numbers/number_format.h"

#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <cstdint>
#include <cmath>

namespace zetra::numbers {
namespace {

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
  EXPECT_EQ(round_half_even(2.5), 2);
  EXPECT_EQ(round_half_even(3.5), 4);
  EXPECT_EQ(round_half_even(-2.5), -2);
  EXPECT_EQ(round_half_even(0.5), 0);
  EXPECT_EQ(round_half_even(2.5000001), 3);
  EXPECT_EQ(round_half_even(333.33334), 333);
  EXPECT_EQ(round_half_even(5000000.0), 5000000);
  // Around the largest magnitudes with fractions, and beyond, every tie still goes to even.
  EXPECT_EQ(round_half_even(-3.5), -4);
  EXPECT_EQ(round_half_even(-0.4999999999999999), 0);
  EXPECT_EQ(round_half_even(0.49999999999999994), 0);
  EXPECT_EQ(round_half_even(2251799813685246.5), 2251799813685246);
  EXPECT_EQ(round_half_even(-2251799813685247.5), -2251799813685248);
  EXPECT_EQ(round_half_even(2251799813685248.5), 2251799813685248);
  EXPECT_EQ(round_half_even(4503599627370497.0), 4503599627370497);
  EXPECT_EQ(round_half_even(-1e17), -100000000000000000);
}

TEST(FormatFixed, HalvesGoAwayFromZeroOnTheExactValue) {
  EXPECT_EQ(format_fixed(0.125, 2), "0.13");    // an exact tie
  EXPECT_EQ(format_fixed(-0.125, 2), "-0.13");
  EXPECT_EQ(format_fixed(2.5, 0), "3");
  EXPECT_EQ(format_fixed(-0.5, 0), "-1");
  EXPECT_EQ(format_fixed(2.675f, 2), "2.67");   // the float lies just below the tie
  EXPECT_EQ(format_fixed(125.0f, 2), "125.00");
  EXPECT_EQ(format_fixed(0.004, 2), "0.00");
  EXPECT_EQ(format_fixed(-0.004, 2), "0.00");   // no negative zero
  EXPECT_EQ(format_fixed(738302.875f, 1), "738302.9");
  EXPECT_EQ(format_fixed(1e20, 1), "100000000000000000000.0");
}

TEST(FormatShortest, ReadsBackAsTheSameFloat) {
  EXPECT_EQ(format_shortest(24.55f), "24.55");
  EXPECT_EQ(format_shortest(100.0f), "100");
  EXPECT_EQ(format_shortest(-0.0f), "0");
  EXPECT_EQ(format_shortest(1.0f / 3.0f), "0.33333334");
  EXPECT_EQ(format_shortest(3e20f), "3e+20");
  // Plain digits from 1e-5 up to, not including, 1e15; an exponent outside.
  EXPECT_EQ(format_shortest(1e-5f), "0.00001");
  EXPECT_EQ(format_shortest(9.9e-6f), "9.9e-06");
  EXPECT_EQ(format_shortest(1e15f), "1e+15");
  EXPECT_EQ(format_shortest(562949953421312.0f), "562949953421312");  // 2 to the 49th
}

TEST(ParseNumber, ReadsTheLeadingNumberOrZero) {
  EXPECT_EQ(parse_number("250.00"), 250.0);
  EXPECT_EQ(parse_number("  2"), 2.0);
  EXPECT_EQ(parse_number("abc"), 0.0);
  EXPECT_EQ(parse_number(""), 0.0);
  EXPECT_EQ(parse_number("12.5pA"), 12.5);
  EXPECT_EQ(parse_number("-3.25"), -3.25);
  EXPECT_EQ(parse_number("+7"), 7.0);
  EXPECT_EQ(parse_number(".5"), 0.5);
  EXPECT_EQ(parse_number("1.2.3"), 1.2);
  EXPECT_EQ(parse_number("1e3"), 1000.0);
  EXPECT_EQ(parse_number("1e"), 1.0);       // an exponent without digits is not taken
  EXPECT_EQ(parse_number("-"), 0.0);
  EXPECT_EQ(parse_number("."), 0.0);
  EXPECT_TRUE(std::isinf(parse_number("1e999")));
  EXPECT_EQ(parse_number("1e-999"), 0.0);
}

TEST(ParseTypedNumber, TakesALoneCommaForTheDecimalPoint) {
  const auto value = [](const char* text) { return parse_typed_number(text).value; };
  EXPECT_EQ(value("1,5"), 1.5);
  EXPECT_EQ(value("  -0,25e2"), -25.0);
  EXPECT_EQ(value(",5"), 0.5);
  EXPECT_EQ(value("1,5.2"), 1.0);  // a period as well: the comma ends the number
  EXPECT_EQ(value("1,2,3"), 1.0);  // two commas: thousands, perhaps; read as before
  EXPECT_EQ(value("2.5"), 2.5);
  EXPECT_TRUE(parse_typed_number("1,5").is_number);
  EXPECT_TRUE(parse_typed_number(" 0").is_number);
  EXPECT_TRUE(parse_typed_number("1e999").is_number);
  for (const char* none : {"", "abc", ",", "-", " .", "e5"}) {
    EXPECT_FALSE(parse_typed_number(none).is_number) << none;
    EXPECT_EQ(parse_typed_number(none).value, 0.0) << none;
  }
}

TEST(WriteFixed, WritesTheSameTextAsFormatFixed) {
  const float samples[] = {0.0f,  -0.0f,   0.05f,   -0.05f,   0.25f,    -0.25f,  9.95f,
                           99.95f, 2.675f, 1e-7f,  -1e-7f,  123456.7f, 3.4e38f, -3.4e38f,
                           1e19f,  0.5f,    -0.5f,  1.0f / 3.0f};
  std::array<char, kFixedTextRoom> text{};
  auto written = [&text](double value, int decimals) {
    char* end = write_fixed(text.data(), value, decimals);
    return std::string(text.data(), static_cast<size_t>(end - text.data()));
  };
  for (int decimals = 0; decimals <= 3; ++decimals) {
    for (float value : samples) {
      EXPECT_EQ(written(value, decimals), format_fixed(value, decimals))
          << value << " at " << decimals;
    }
  }
  // Decimals outside 0..9 are taken as the nearest end.
  EXPECT_EQ(written(2.5, -1), "3");
  EXPECT_EQ(written(-0.125, -3), "0");
  EXPECT_EQ(written(0.1234567891, 12), "0.123456789");
  // A sweep over the kinds of values a copied recording holds.
  uint32_t seed = 12345;
  for (int n = 0; n < 100000; ++n) {
    seed = seed * 1664525u + 1013904223u;
    const float value = (static_cast<float>(seed >> 8) - 8388608.0f) / 256.0f;
    const int decimals = 1 + n % 2;
    ASSERT_EQ(written(value, decimals), format_fixed(value, decimals)) << value;
  }
}

TEST(ClockTime, TwoDigitsEachAndTakenModuloADay) {
  EXPECT_EQ(format_clock_time(0), "00:00:00");
  EXPECT_EQ(format_clock_time(14 * 3600 + 2 * 60 + 11), "14:02:11");
  EXPECT_EQ(format_clock_time(86399), "23:59:59");
  EXPECT_EQ(format_clock_time(86400 + 61), "00:01:01");
  EXPECT_EQ(format_clock_time(-1), "23:59:59");
}

TEST(NumberText, IgnoresADecimalCommaLocale) {
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) std::setlocale(LC_ALL, "C.UTF-8");
  EXPECT_EQ(format_fixed(1.5, 1), "1.5");
  EXPECT_EQ(format_shortest(24.55f), "24.55");
  EXPECT_EQ(parse_number("1.5"), 1.5);
  std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace zetra::numbers

namespace zetra::numbers {
namespace {

TEST(StatusNumbers, CountsClockAndDate) {
  EXPECT_EQ(format_count(0), "0");
  EXPECT_EQ(format_count(999), "999");
  EXPECT_EQ(format_count(3756), "3,756");
  EXPECT_EQ(format_count(100000), "100,000");
  EXPECT_EQ(format_count(5000000), "5,000,000");
  EXPECT_EQ(format_count(-1234567), "-1,234,567");
  EXPECT_EQ(format_clock(751), "00:12:31");
  EXPECT_EQ(format_clock(0), "00:00:00");
  EXPECT_EQ(format_clock(359999), "99:59:59");
  EXPECT_EQ(format_clock(360000), "100:00:00");
  EXPECT_EQ(format_date_time(2026, 12, 7, 9, 5), "2026-12-07 09:05");
}

}  // namespace
}  // namespace zetra::numbers
