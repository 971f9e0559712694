// The one place where numbers become integers or text, and text becomes numbers.
// Float-to-integer conversions round half to even; text patterns round half away from zero and
// always use a period, whatever the locale.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zetra::numbers {

// Nearest integer, halves to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2). Inline: drawing rounds every
// sample. Adding and taking away 1.5 x 2^52 leaves the nearest integer under the default rounding
// mode (ties to even); magnitudes from 2^51 up are whole numbers already or go to nearbyint.
inline int64_t round_half_even(double value) {
  constexpr double kShift = 6755399441055744.0;  // 1.5 x 2^52
  if (std::fabs(value) < 2251799813685248.0) return static_cast<int64_t>((value + kShift) - kShift);
  return static_cast<int64_t>(std::nearbyint(value));
}

// Text with `decimals` digits after the period, halves away from zero: 0.125 -> "0.13" at 2,
// -0.5 -> "-1" at 0. Negative zero prints without a sign.
std::string format_fixed(double value, int decimals);

// Room write_fixed may need: sign, 309 integer digits of the largest double, period, 9 decimals.
inline constexpr size_t kFixedTextRoom = 330;

// Writes the text of format_fixed(value, decimals) at `out` and returns the end of it, for long
// text built in one buffer. `out` needs kFixedTextRoom characters; decimals is taken as 0..9.
char* write_fixed(char* out, double value, int decimals);

// Shortest text that reads back as the same float, in plain decimal notation where that is
// reasonable (24.55f -> "24.55", 100 -> "100", 1/3f -> "0.33333334").
std::string format_shortest(float value);

// Reads a decimal number from the start of text: blanks are skipped, then an optional sign,
// digits with at most one period and an optional exponent, up to the first other character.
// Text that does not start with a number reads as 0. May return inf for huge exponents.
double parse_number(std::string_view text);

// A number the user typed into a box. Read as parse_number, except that a text holding exactly one
// comma and no period takes the comma for the decimal point ("1,5" -> 1.5; "1,5.2" and "1,2,3"
// read as 1). `is_number` is false when the text does not start with a number (value 0).
struct TypedNumber {
  double value = 0;
  bool is_number = false;
};
TypedNumber parse_typed_number(std::string_view text);

// The degree sign as the program's text carries it (UTF-8; code 176 of the 8-bit code page).
inline constexpr std::string_view kDegreeSign = "\xC2\xB0";

// A readout written into its template ("+000'000.0 pA" in the normal range, "+0'000'000 pA" in the
// high range): every 0 is a digit position with leading zeros kept, other characters are copied.
// Rounded to the template's last digit, halves away from zero. A negative value is a minus sign
// followed by the blank template (" 000'012.5 pA") filled with its magnitude; digits beyond the
// template's integer positions go in at the left.
std::string format_readout(double value, bool high_range, std::string_view unit);

// A time label of the chart: whole seconds in "0s/" followed by minutes in "0.0m" (150 -> "150s/2.5m").
std::string format_time_label(double seconds);

// Whole count with a comma between thousands, rounded half to even (3756 -> "3,756").
std::string format_count(double count);

// Whole seconds as "hh:mm:ss", hours growing beyond two digits when needed (751 -> "00:12:31").
std::string format_clock(double seconds);

// A calendar date and time of day as "yyyy-mm-dd hh:mm".
std::string format_date_time(int year, int month, int day, int hour, int minute);

// A time of day from seconds since midnight as "hh:mm:ss" (50531 -> "14:02:11"); taken modulo a day.
std::string format_clock_time(int64_t seconds_of_day);

// Temperature in "0.00" followed by the degree sign and "C" (36.1 -> "36.10°C").
std::string format_temperature(double celsius);

}  // namespace zetra::numbers
