// The simulated two-channel meter.
#include "standins/meter/meter_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "standins/meter/word_codec.h"

namespace zetra::standins {

MeterModel::MeterModel(uint64_t seed, const MeterProfile& profile)
    : profile_(profile), random_(seed) {
  const double inf = std::numeric_limits<double>::infinity();
  excursion_start_s_ = {-inf, -inf};
  next_step_s_ = random_.uniform(profile_.step_interval_s - profile_.step_jitter_s,
                                 profile_.step_interval_s + profile_.step_jitter_s);
  next_excursion_s_ =
      profile_.first_excursion_after_s + random_.exponential(profile_.excursion_interval_s);
}

SampleSet MeterModel::advance(double elapsed_s) {
  const double end_s = time_s_ + std::max(elapsed_s, 0.0);
  // Events inside the interval happen at their own time, so a long interval gives the same
  // signal as many short ones would.
  for (;;) {
    const double event_s = std::min(next_step_s_, next_excursion_s_);
    if (event_s > end_s) break;
    evolve(event_s - time_s_);
    if (event_s == next_step_s_) {
      begin_step();
    } else {
      begin_excursion();
    }
  }
  evolve(end_s - time_s_);

  SampleSet set;
  for (int ch = 0; ch < kChannels; ++ch) set.channel[ch] = read_channel(ch);
  set.busy = random_.chance(profile_.busy_probability);
  return set;
}

SampleWords MeterModel::next(double elapsed_s) { return encode(advance(elapsed_s)); }

double MeterModel::bath_temperature_c() const {
  const double phase = 2.0 * std::numbers::pi * time_s_ / profile_.drift_period_s;
  return profile_.reference_temperature_c + profile_.drift_amplitude_c * std::sin(phase) +
         wander_c_;
}

// Exact updates for any dt: the wander is an Ornstein-Uhlenbeck process and the sensor a
// first-order lag, so both decay by exp(-dt / time constant).
void MeterModel::evolve(double dt_s) {
  if (dt_s <= 0.0) return;
  const double keep = std::exp(-dt_s / profile_.wander_time_s);
  wander_c_ = wander_c_ * keep +
              profile_.wander_rms_c * std::sqrt(1.0 - keep * keep) * random_.gaussian();
  const double lag = std::exp(-dt_s / profile_.response_time_s);
  concentration_nm_ = target_nm_ + (concentration_nm_ - target_nm_) * lag;
  time_s_ += dt_s;
}

void MeterModel::begin_step() {
  const double previous = target_nm_;
  for (int tries = 0; tries < 16 && std::abs(target_nm_ - previous) < profile_.min_step_nm;
       ++tries) {
    target_nm_ = random_.uniform(0.0, profile_.max_concentration_nm);
  }
  next_step_s_ += random_.uniform(profile_.step_interval_s - profile_.step_jitter_s,
                                  profile_.step_interval_s + profile_.step_jitter_s);
  ++steps_taken_;
}

void MeterModel::begin_excursion() {
  const int channel = random_.chance(0.5) ? 0 : 1;
  excursion_start_s_[channel] = next_excursion_s_;
  next_excursion_s_ += profile_.excursion_duration_s +
                       random_.exponential(profile_.excursion_interval_s);
  ++excursions_started_;
}

// A sine-squared bump: smooth at both ends, peak in the middle of the excursion.
double MeterModel::surge_pa(int channel) const {
  const double into = time_s_ - excursion_start_s_[channel];
  if (!(into >= 0.0) || into >= profile_.excursion_duration_s) return 0.0;
  const double s = std::sin(std::numbers::pi * into / profile_.excursion_duration_s);
  return profile_.excursion_height_pa * s * s;
}

ChannelReading MeterModel::read_channel(int channel) {
  const SensorProfile& sensor = profile_.sensor[channel];
  const double probe_c = bath_temperature_c() + sensor.probe_offset_c;
  const double signal_pa =
      sensor.baseline_pa + sensor.pa_per_nm * concentration_nm_ +
      sensor.temp_coefficient_pa_per_c * (probe_c - profile_.reference_temperature_c) +
      surge_pa(channel);
  // Auto-ranging with hysteresis, decided on the signal so noise cannot make it chatter.
  bool& high = high_range_[channel];
  if (!high && signal_pa > profile_.high_range_above_pa) high = true;
  if (high && signal_pa < profile_.normal_range_below_pa) high = false;

  ChannelReading reading;
  reading.high_range = high;
  reading.current_pa = signal_pa + sensor.noise_pa * random_.gaussian();
  reading.temperature_c = probe_c + profile_.temperature_noise_c * random_.gaussian();
  return reading;
}

}  // namespace zetra::standins
