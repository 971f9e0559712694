// The units of the shared library beside zetra: clocked simulated base units in real time.
#include <chrono>

#include "standins/kvwin32/clocked_unit.h"

namespace zetra::standins {

namespace {

constexpr uint64_t kFirstSeed = 1;  // unit n's meter is seeded with kFirstSeed + n - 1

double steady_seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

std::unique_ptr<Unit> make_unit(uint8_t device) {
  return std::make_unique<ClockedUnit>(kFirstSeed + device - 1, steady_seconds);
}

}  // namespace zetra::standins
