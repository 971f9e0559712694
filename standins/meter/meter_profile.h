// The constants that shape the simulated signal; README.md in the stand-ins' folder explains them.
#pragma once

#include <array>

#include "standins/meter/sample_words.h"

namespace zetra::standins {

struct SensorProfile {
  double baseline_pa;                  // current at zero concentration and reference temperature
  double pa_per_nm;                    // sensitivity: current per nM of concentration
  double temp_coefficient_pa_per_c;    // current change per deg C away from the reference
  double noise_pa;                     // RMS of the white noise on each reading
  double probe_offset_c;               // this probe reads the bath this much warmer
};

struct MeterProfile {
  // Both sensors sit in one bath; the sensitivities match the recorder's default calibration
  // (1 and 2 pA per nM), so both channels show the same concentration in nM.
  std::array<SensorProfile, kChannels> sensor{{
      {500.0, 1.0, 100.0, 2.0, 0.0},
      {1500.0, 2.0, 100.0, 3.0, 0.1},
  }};

  // Bath temperature: a slow sine around the reference, plus a slow random wander, plus noise.
  // The reference and the coefficient equal the recorder's compensation defaults, so switching
  // compensation on flattens the drift.
  double reference_temperature_c = 24.55;
  double drift_amplitude_c = 0.5;
  double drift_period_s = 1200.0;
  double wander_rms_c = 0.15;       // size of the random wander
  double wander_time_s = 300.0;     // how slowly it wanders
  double temperature_noise_c = 0.002;

  // Concentration steps: a new level every step_interval_s +- step_jitter_s, reached with the
  // sensor's first-order response time.
  double step_interval_s = 60.0;
  double step_jitter_s = 15.0;
  double max_concentration_nm = 300.0;
  double min_step_nm = 30.0;
  double response_time_s = 5.0;

  // Share of polls that find the meter still converting.
  double busy_probability = 0.02;

  // Now and then one channel surges (a smooth bump) far enough that the meter's auto-ranging
  // switches it to the x10 range, and back once the current has fallen again.
  double excursion_interval_s = 300.0;  // mean time between surges
  double first_excursion_after_s = 90.0;
  double excursion_duration_s = 8.0;
  double excursion_height_pa = 20000.0;
  double high_range_above_pa = 10000.0;
  double normal_range_below_pa = 8000.0;
};

}  // namespace zetra::standins
