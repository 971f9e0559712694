// One base unit as the stand-in kvwin32 serves it: the meter model runs at the pace of a clock,
// and a poll sooner than the meter's conversion time after a block read finds it busy.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "standins/base_unit/simulated_base_unit.h"
#include "standins/meter/meter_model.h"

namespace zetra::standins {

// The meter needs this long to convert a sample set; the recorder polls every 200 ms or slower.
inline constexpr double kConversionTimeS = 0.1;
// A long pause (device closed for an hour) advances the signal by at most this much.
inline constexpr double kLongestStepS = 60.0;

class ClockedUnit {
 public:
  using Clock = std::function<double()>;  // monotonic seconds

  ClockedUnit(uint64_t seed, Clock clock, const MeterProfile& profile = MeterProfile{});
  ClockedUnit(const ClockedUnit&) = delete;  // the meter holds a reference to clock_
  ClockedUnit& operator=(const ClockedUnit&) = delete;

  bool open();
  void close();
  bool is_open() const { return open_; }

  uint8_t status();
  void configure(uint8_t config) { unit_.configure(config); }
  uint8_t configuration() const { return unit_.configuration(); }
  void write_word(uint8_t address, int32_t value) { unit_.write_word(address, value); }
  int32_t read_word(uint8_t address) const { return unit_.read_word(address); }
  int read_block(uint8_t address, uint8_t count, int32_t* words);

  // What the otherwise unused library functions keep per unit.
  bool owned = false;
  uint8_t user_output = 0;
  int32_t module_identity = 0;
  std::array<int32_t, 256> calibration{};

  const MeterModel& model() const { return meter_.model; }

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
};

}  // namespace zetra::standins
