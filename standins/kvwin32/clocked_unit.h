// One base unit as the stand-in kvwin32 serves it: the meter model runs at the pace of a clock,
// and a poll sooner than the meter's conversion time after a block read finds it busy.
#pragma once

#include <cstdint>
#include <functional>

#include "standins/base_unit/simulated_base_unit.h"
#include "standins/kvwin32/unit.h"
#include "standins/meter/meter_model.h"

namespace zetra::standins {

// The meter needs this long to convert a sample set; the recorder polls every 200 ms or slower.
inline constexpr double kConversionTimeS = 0.1;
// A long pause (device closed for an hour) advances the signal by at most this much.
inline constexpr double kLongestStepS = 60.0;

// A stretch of time, counted from the unit's first opening, in which it does not answer (every
// call fails) or its meter stays busy: what a recorder must not mistake for measurements.
struct QuietSpell {
  double from_s = -1, to_s = -1;  // none while from_s < 0
  bool busy = false;              // the meter busy instead of the unit silent
};

// "start,length" or "start,length,busy" in seconds, as ZETRA_STANDIN_QUIET gives it; none when
// the text is empty or not of that form.
QuietSpell parse_quiet_spell(const char* text);

class ClockedUnit final : public Unit {
 public:
  using Clock = std::function<double()>;  // monotonic seconds

  ClockedUnit(uint64_t seed, Clock clock, const MeterProfile& profile = MeterProfile{});
  ClockedUnit(const ClockedUnit&) = delete;  // the meter holds a reference to clock_
  ClockedUnit& operator=(const ClockedUnit&) = delete;

  // Always there: open() always succeeds.
  bool open() override;
  void close() override;
  bool is_open() const override { return open_; }

  bool status(uint8_t& status) override;
  bool configure(uint8_t config) override;
  bool write_word(uint8_t address, int32_t value) override;
  bool read_word(uint8_t address, int32_t& value) override;
  bool read_block(uint8_t address, uint8_t count, int32_t* words) override;

  const MeterModel& model() const { return meter_.model; }
  void set_quiet_spell(const QuietSpell& spell) { spell_ = spell; }

 private:
  // Hands the model the real time passed since its previous sample set.
  struct RealTimeMeter final : SampleSource {
    RealTimeMeter(uint64_t seed, const MeterProfile& profile, Clock& clock)
        : model(seed, profile), clock(clock) {}
    SampleWords next(double) override;
    MeterModel model;
    Clock& clock;
    double last_s = 0.0;
    bool started = false;
  };

  Clock clock_;
  RealTimeMeter meter_;
  SimulatedBaseUnit unit_;
  bool open_ = false;
  double last_read_s_ = 0.0;
  bool read_once_ = false;  // no block read yet: the first poll finds a set ready
  QuietSpell spell_;
  double opened_s_ = -1;  // when the unit was first opened
  // Whether the spell holds now: false when there is none or it is not its time.
  bool quiet() const;
};

}  // namespace zetra::standins
