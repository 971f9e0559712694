// The units of the shared library beside zetra: clocked simulated base units in real time.
#include <chrono>
#include <cstdlib>

#include "standins/kvwin32/clocked_unit.h"

namespace zetra::standins {

namespace {

constexpr uint64_t kFirstSeed = 1;  // unit n's meter is seeded with kFirstSeed + n - 1

double steady_seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

// ZETRA_STANDIN_QUIET="start,length[,busy]" gives every unit a quiet spell, for trying out what
// the recorder makes of a unit that stops answering (or a meter stuck busy).
std::unique_ptr<Unit> make_unit(uint8_t device) {
  auto unit = std::make_unique<ClockedUnit>(kFirstSeed + device - 1, steady_seconds);
  unit->set_quiet_spell(parse_quiet_spell(std::getenv("ZETRA_STANDIN_QUIET")));
  return unit;
}

}  // namespace zetra::standins
