#include "recorder/numbers/number_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace zetra::numbers {

namespace {

constexpr std::array<double, 10> kPowersOfTen = {1e0, 1e1, 1e2, 1e3, 1e4,
                                                 1e5, 1e6, 1e7, 1e8, 1e9};

// Places a period `decimals` digits from the right of the digit string of |scaled|.
std::string insert_period(uint64_t scaled, int decimals, bool negative) {
  std::array<char, 32> digits{};
  auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), scaled);
  std::string text(digits.data(), end);
  if (decimals > 0) {
    if (static_cast<int>(text.size()) <= decimals)
      text.insert(0, static_cast<size_t>(decimals + 1) - text.size(), '0');
    text.insert(text.size() - static_cast<size_t>(decimals), 1, '.');
  }
  if (negative && scaled != 0) text.insert(0, 1, '-');
  return text;
}

}  // namespace

std::string format_fixed(double value, int decimals) {
  if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : (value > 0 ? "Inf" : "-Inf");
  if (decimals < 0) decimals = 0;
  if (decimals < static_cast<int>(kPowersOfTen.size())) {
    // A float times 10^d (d <= 9) is exact in double, so a tie seen here is a true tie.
    const double scaled = std::fabs(value) * kPowersOfTen[static_cast<size_t>(decimals)];
    if (scaled < 9.0e18) {
      return insert_period(static_cast<uint64_t>(std::round(scaled)), decimals, value < 0);
    }
  }
  std::array<char, 400> buffer{};
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                 std::chars_format::fixed, decimals);
  return ec == std::errc() ? std::string(buffer.data(), end) : std::string("0");
}

char* write_fixed(char* out, double value, int decimals) {
  decimals = decimals < 0 ? 0 : (decimals > 9 ? 9 : decimals);
  const double scaled = std::fabs(value) * kPowersOfTen[static_cast<size_t>(decimals)];
  if (!std::isfinite(value) || scaled >= 9.0e18) {
    const std::string text = format_fixed(value, decimals);
    return std::copy(text.begin(), text.end(), out);
  }
  const auto rounded = static_cast<uint64_t>(std::round(scaled));  // halves away from zero
  std::array<char, 24> digits{};
  char* end = std::to_chars(digits.data(), digits.data() + digits.size(), rounded).ptr;
  const auto length = static_cast<int>(end - digits.data());
  if (value < 0 && rounded != 0) *out++ = '-';
  if (length <= decimals) {  // at least one digit before the period: 0.05, not .05
    *out++ = '0';
    *out++ = '.';
    for (int pad = length; pad < decimals; ++pad) *out++ = '0';
    return std::copy(digits.data(), end, out);
  }
  const char* point = end - decimals;
  out = std::copy(static_cast<const char*>(digits.data()), point, out);
  if (decimals == 0) return out;
  *out++ = '.';
  return std::copy(point, static_cast<const char*>(end), out);
}

std::string format_shortest(float value) {
  std::array<char, 64> buffer{};
  const float magnitude = std::fabs(value);
  const auto format = (magnitude == 0.0f || (magnitude >= 1e-5f && magnitude < 1e15f))
                          ? std::chars_format::fixed
                          : std::chars_format::scientific;
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format);
  std::string text(buffer.data(), end);
  if (text == "-0") text = "0";
  return text;
}

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Length of the longest prefix of text shaped like [sign] digits [. digits] [e [sign] digits].
size_t number_prefix_length(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t mantissa_digits = 0;
  while (i < text.size() && is_digit(text[i])) ++i, ++mantissa_digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && is_digit(text[i])) ++i, ++mantissa_digits;
  }
  if (mantissa_digits == 0) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    const size_t exponent_start = j;
    while (j < text.size() && is_digit(text[j])) ++j;
    if (j > exponent_start) i = j;
  }
  return i;
}

}  // namespace

double parse_number(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  const size_t length = number_prefix_length(text);
  if (length == 0) return 0.0;
  // from_chars takes no leading '+'; it is dropped here, a '-' is kept.
  std::string_view number = text.substr(0, length);
  if (number.front() == '+') number.remove_prefix(1);
  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: the sign and the exponent decide.
    const bool negative = number.front() == '-';
    const bool tiny = number.find("e-") != std::string_view::npos ||
                      number.find("E-") != std::string_view::npos;
    if (tiny) return negative ? -0.0 : 0.0;
    return negative ? -HUGE_VAL : HUGE_VAL;
  }
  return value;
}

TypedNumber parse_typed_number(std::string_view text) {
  std::string own(text);
  const bool decimal_comma = std::count(own.begin(), own.end(), ',') == 1 &&
                             own.find('.') == std::string::npos;
  if (decimal_comma) own[own.find(',')] = '.';
  std::string_view trimmed = own;
  while (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.front() == '\t')) {
    trimmed.remove_prefix(1);
  }
  return {parse_number(trimmed), number_prefix_length(trimmed) > 0};
}

std::string format_readout(double value, bool high_range, std::string_view unit) {
  const std::string_view pattern = high_range ? "0'000'000" : "000'000.0";
  const int decimals = high_range ? 0 : 1;
  std::string digits = format_fixed(std::fabs(value), decimals);
  const bool negative = value < 0;  // the sign picks the template, even when the digits round to 0
  const size_t period = digits.find('.');
  std::string whole = digits.substr(0, period);
  const std::string fraction = period == std::string::npos ? "" : digits.substr(period + 1);
  const size_t template_whole = high_range ? 7 : 6;
  if (whole.size() < template_whole) whole.insert(0, template_whole - whole.size(), '0');
  std::string text = negative ? "- " : "+";
  // Surplus integer digits go in front of the first digit position.
  size_t next = whole.size() - template_whole;
  text.append(whole, 0, next);
  size_t next_fraction = 0;
  bool after_period = false;
  for (char c : pattern) {
    if (c == '.') {
      after_period = true;
      text += '.';
    } else if (c != '0') {
      text += c;
    } else if (after_period) {
      text += next_fraction < fraction.size() ? fraction[next_fraction++] : '0';
    } else {
      text += whole[next++];
    }
  }
  text += ' ';
  text += unit;
  return text;
}

std::string format_time_label(double seconds) {
  return format_fixed(seconds, 0) + "s/" + format_fixed(seconds / 60, 1) + "m";
}

std::string format_temperature(double celsius) {
  std::string text = format_fixed(celsius, 2);
  text += kDegreeSign;
  text += 'C';
  return text;
}

namespace {

std::string two_digits(long long value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

}  // namespace

std::string format_count(double count) {
  const std::string digits = format_fixed(round_half_even(count), 0);
  const size_t sign = !digits.empty() && digits[0] == '-' ? 1 : 0;
  std::string text = digits.substr(0, sign);
  for (size_t k = sign; k < digits.size(); ++k) {
    if (k > sign && (digits.size() - k) % 3 == 0) text += ',';
    text += digits[k];
  }
  return text;
}

std::string format_clock(double seconds) {
  const auto whole = static_cast<long long>(round_half_even(seconds < 0 ? 0 : seconds));
  return two_digits(whole / 3600) + ":" + two_digits(whole / 60 % 60) + ":" + two_digits(whole % 60);
}

std::string format_date_time(int year, int month, int day, int hour, int minute) {
  return std::to_string(year) + "-" + two_digits(month) + "-" + two_digits(day) + " " +
         two_digits(hour) + ":" + two_digits(minute);
}

std::string format_clock_time(int64_t seconds_of_day) {
  constexpr int64_t kDay = 86400;
  const int64_t t = ((seconds_of_day % kDay) + kDay) % kDay;
  const int64_t parts[] = {t / 3600, t / 60 % 60, t % 60};
  std::string text;
  for (int64_t part : parts) {
    if (!text.empty()) text += ':';
    text += static_cast<char>('0' + part / 10);
    text += static_cast<char>('0' + part % 10);
  }
  return text;
}

}  // namespace zetra::numbers
