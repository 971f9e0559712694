// Number parsing on any text: never crashes, and a float written as shortest text reads back
// as the same float.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "recorder/numbers/number_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zetra::numbers;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const double value = parse_number(text);
  const auto f = static_cast<float>(value);
  if (std::isfinite(f)) {
    const std::string shortest = format_shortest(f);
    if (static_cast<float>(parse_number(shortest)) != f) std::abort();
    if (std::fabs(value) < 1e15) (void)format_fixed(value, static_cast<int>(size % 4));
  }
  if (size >= 4) {  // any bit pattern as a float
    float bits;
    std::memcpy(&bits, data, 4);
    if (std::isfinite(bits) && static_cast<float>(parse_number(format_shortest(bits))) != bits) {
      std::abort();
    }
  }
  return 0;
}
