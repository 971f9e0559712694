// The simulated two-channel meter: currents and probe temperatures that drift, step and surge
// like a real run, from a seedable random source. Time moves only when a sample set is asked for.
#pragma once

#include <array>
#include <cstdint>

#include "standins/meter/meter_profile.h"
#include "standins/meter/random_source.h"
#include "standins/meter/sample_source.h"

namespace zetra::standins {

class MeterModel final : public SampleSource {
 public:
  explicit MeterModel(uint64_t seed = 1, const MeterProfile& profile = MeterProfile{});

  // Lets `elapsed_s` seconds of simulated time pass and takes one sample set.
  SampleSet advance(double elapsed_s);
  // The same set, encoded into words (all lead bits 1).
  SampleWords next(double elapsed_s) override;

  double time_s() const { return time_s_; }
  double concentration_nm() const { return concentration_nm_; }  // as the sensors see it now
  double bath_temperature_c() const;
  int steps_taken() const { return steps_taken_; }
  int excursions_started() const { return excursions_started_; }
  const MeterProfile& profile() const { return profile_; }

 private:
  void evolve(double dt_s);
  void begin_step();
  void begin_excursion();
  double surge_pa(int channel) const;
  ChannelReading read_channel(int channel);

  MeterProfile profile_;
  RandomSource random_;
  double time_s_ = 0.0;
  double wander_c_ = 0.0;
  double concentration_nm_ = 0.0;
  double target_nm_ = 0.0;
  double next_step_s_ = 0.0;
  double next_excursion_s_ = 0.0;
  std::array<double, kChannels> excursion_start_s_;
  std::array<bool, kChannels> high_range_{};  // auto-range state, kept between readings
  int steps_taken_ = 0;
  int excursions_started_ = 0;
};

}  // namespace zetra::standins
